#include "platform/linux/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace plat {
namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// mkdir -p; new folders are private to the user, as a settings folder should be.
bool MakeFolders(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::string parent = FolderOf(folder);
    if (parent != folder && !MakeFolders(parent)) return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Writes through a link to the file it names, so the link stays a link.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

ReadResult ReadSmallFile(const std::string& path, std::string& content, size_t limit) {
    content.clear();
    // O_NONBLOCK so that a FIFO put in the file's place cannot hang the open.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ReadResult::Failed;
    }
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || content.size() + static_cast<size_t>(n) > limit) {
            close(fd);
            content.clear();
            return ReadResult::Failed;
        }
        if (n == 0) break;
        content.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return ReadResult::Ok;
}

std::string TemporaryPathFor(const std::string& path) {
    return path + ".tmp" + std::to_string(getpid());
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
    int ignored = 0;
    return ReplaceFileThrough(path, [&](int fd) { return WriteAll(fd, content); }, true, ignored);
}

bool ReplaceFileThrough(const std::string& path, const std::function<bool(int fd)>& fill, bool makeFolders,
                        int& error) {
    error = 0;
    const std::string target = ResolveLink(path);
    const std::string folder = FolderOf(target);
    if (makeFolders && !MakeFolders(folder)) {
        error = errno;
        return false;
    }

    const std::string temp = TemporaryPathFor(target);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    int fd = open(temp.c_str(), flags, 0666);
    if (fd < 0 && errno == EEXIST) {
        // Left over by an earlier process with the same id that died mid-write.
        unlink(temp.c_str());
        fd = open(temp.c_str(), flags, 0666);
    }
    if (fd < 0) {
        error = errno;
        return false;
    }

    // The new file keeps the old one's permissions.
    struct stat old {};
    bool ok = true;
    if (stat(target.c_str(), &old) == 0) ok = fchmod(fd, old.st_mode & 07777) == 0;
    errno = 0;
    ok = ok && fill(fd) && fsync(fd) == 0;
    if (!ok) error = errno;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        if (error == 0) error = errno;
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable. Some file systems cannot sync a folder;
    // the file is in place either way.
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace plat
