#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/instance_lock.h"

namespace plat {
namespace {

// Whether an open descriptor is a regular file (or, for `folder`, a folder)
// of the user's own; a private folder must also be closed to everyone else.
bool OwnedByUser(int fd, bool folder) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_uid != geteuid()) return false;
    if (folder) return S_ISDIR(st.st_mode) && (st.st_mode & 077) == 0;
    return S_ISREG(st.st_mode);
}

// The folder that holds the lock files, opened: $XDG_RUNTIME_DIR, which is
// the user's own; else a private folder "kelvane-<uid>" in the shared
// folder, made 0700 and refused when someone else made it or opened it up.
int OpenLockFolder(const std::string& sharedFolder) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return open(runtime, flags);
    const std::string path = sharedFolder + "/kelvane-" + std::to_string(geteuid());
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -1;
    // Not through a link someone planted in the shared folder.
    const int fd = open(path.c_str(), flags | O_NOFOLLOW);
    if (fd >= 0 && !OwnedByUser(fd, true)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Opens the lock file without following a planted link and without waiting
// on a planted FIFO; only a regular file of the user's own is taken. An
// existing file is opened without O_CREAT first: in a sticky folder the
// kernel refuses O_CREAT on another user's file.
int OpenLockFile(int folder, const std::string& name) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = openat(folder, name.c_str(), flags);
        if (fd >= 0 || errno != ENOENT) break;
        fd = openat(folder, name.c_str(), flags | O_CREAT | O_EXCL, 0644);
        if (fd < 0 && errno != EEXIST) break;
        // Someone created it between the two opens: open theirs.
    }
    if (fd >= 0 && !OwnedByUser(fd, false)) {
        close(fd);
        return -1;
    }
    return fd;
}

class FileInstanceLock final : public IInstanceLock {
public:
    explicit FileInstanceLock(std::string sharedFolder) : sharedFolder_(std::move(sharedFolder)) {}
    ~FileInstanceLock() override { Release(); }

    bool Acquire(const std::string& name) override {
        if (fd_ >= 0 && name == name_) return true;
        Release();
        if (name.empty() || name.find('/') != std::string::npos) return false;
        const int folder = OpenLockFolder(sharedFolder_);
        if (folder < 0) return false;
        const int fd = OpenLockFile(folder, name + ".lock");
        close(folder);
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
    std::string sharedFolder_;
    int fd_ = -1;
    std::string name_;
};

}  // namespace

std::unique_ptr<IInstanceLock> MakeFileInstanceLock(const std::string& sharedFolder) {
    return std::make_unique<FileInstanceLock>(sharedFolder);
}

}  // namespace plat
