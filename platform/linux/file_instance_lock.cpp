#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/instance_lock.h"

namespace plat {
namespace {

std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return runtime;
    return "/tmp";
}

// Opens the lock file without following a planted link. An existing file is
// opened without O_CREAT first: in a sticky /tmp the kernel refuses O_CREAT
// on another user's file, which would read as "already running".
int OpenLockFile(const std::string& path) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = open(path.c_str(), flags);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
        // Someone created it between the two opens: open theirs.
    }
    return -1;
}

class FileInstanceLock final : public IInstanceLock {
public:
    ~FileInstanceLock() override { Release(); }

    bool Acquire(const std::string& name) override {
        if (fd_ >= 0 && name == name_) return true;
        Release();
        if (name.empty() || name.find('/') != std::string::npos) return false;
        int fd = OpenLockFile(LockFolder() + "/" + name + ".lock");
        if (fd < 0) return false;
        int rc;
        do rc = flock(fd, LOCK_EX | LOCK_NB);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            close(fd);
            return false;
        }
        fd_ = fd;
        name_ = name;
        return true;
    }

    void Release() override {
        if (fd_ < 0) return;
        // The file stays: removing it would race with a process about to lock it.
        close(fd_);
        fd_ = -1;
        name_.clear();
    }

    bool Held() const override { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::string name_;
};

}  // namespace

std::unique_ptr<IInstanceLock> MakeFileInstanceLock() { return std::make_unique<FileInstanceLock>(); }

}  // namespace plat
