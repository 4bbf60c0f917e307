#include "platform/linux/small_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace plat {
namespace {

constexpr int kMaxLinks = 40;              // as the kernel's own limit on a path's links
constexpr int kLockWaitMs = 5000;          // longest an update waits for another writer
constexpr long kLockRetryNs = 10'000'000;  // 10 ms between attempts

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// mkdir -p; new folders are private to the user, as a settings folder should be.
bool MakeFolders(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::string parent = FolderOf(folder);
    if (parent != folder && !MakeFolders(parent)) return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
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

ReadResult ReadFd(int fd, std::string& content, size_t limit) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Failed;
    if (static_cast<unsigned long long>(st.st_size) > limit) return ReadResult::TooLarge;
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadResult::Failed;
        if (n == 0) return ReadResult::Ok;
        if (content.size() + static_cast<size_t>(n) > limit) return ReadResult::TooLarge;
        content.append(buf, static_cast<size_t>(n));
    }
}

long long NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Takes the advisory lock on `fd`, waiting (asleep) for another writer
// until the deadline.
bool LockBefore(int fd, long long deadlineMs) {
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (NowMs() >= deadlineMs) return false;
        timespec pause{0, kLockRetryNs};
        nanosleep(&pause, nullptr);
    }
}

// Opens and locks the file that `target` names now. A writer that renamed
// its new file in while we waited leaves us holding the old one: look again.
int OpenLocked(const std::string& target, bool& created) {
    const long long deadline = NowMs() + kLockWaitMs;
    for (;;) {
        created = false;
        int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            fd = open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_CREAT | O_EXCL, 0666);
            created = fd >= 0;
            if (fd < 0 && errno == EEXIST && NowMs() < deadline) continue;
        }
        if (fd < 0) return -1;
        struct stat held {
        }, now{};
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || !LockBefore(fd, deadline)) {
            // The writer we waited for may have renamed its file in by now.
            if (created) RemoveIfStillHeld(target, fd);
            close(fd);
            return -1;
        }
        if (stat(target.c_str(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) return fd;
        close(fd);
        if (NowMs() >= deadline) return -1;
    }
}

// A file the user has made read-only, or one we have no right to write, is
// left as it is, although the rename would only need the folder.
bool MayWrite(int fd, const std::string& target) {
    struct stat st {};
    return fstat(fd, &st) == 0 && (st.st_mode & 0222) != 0 && access(target.c_str(), W_OK) == 0;
}

// Removes "<name>.tmp<pid>" files of ours whose process is gone: a writer
// killed between making its temporary and the rename.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string prefix = NameOf(target) + ".tmp";
    const std::string folder = FolderOf(target);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode) && st.st_uid == geteuid()) unlinkat(dirfd(dir), name.c_str(), 0);
    }
    closedir(dir);
}

// Writes the new file for `target` through `fill` into a temporary file
// beside it and renames that over `target`. `old`: the file it replaces,
// whose permissions the new one keeps; none for a new file.
bool WriteReplacement(const std::string& target, const struct stat* old, const std::function<bool(int fd)>& fill,
                      int& error) {
    error = 0;
    RemoveStaleTemporaries(target);
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

    bool ok = !old || fchmod(fd, old->st_mode & 07777) == 0;
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
    int dir = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace

ReadResult ReadSmallFile(const std::string& path, std::string& content, size_t limit) {
    content.clear();
    // O_NONBLOCK so that a FIFO put in the file's place cannot hang the open.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    const ReadResult result = ReadFd(fd, content, limit);
    close(fd);
    if (result != ReadResult::Ok) content.clear();
    return result;
}

std::string WriteTargetOf(const std::string& path) {
    std::string target = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        std::string next(static_cast<size_t>(PATH_MAX), '\0');
        const ssize_t n = readlink(target.c_str(), next.data(), next.size());
        if (n <= 0 || static_cast<size_t>(n) >= next.size()) return target;
        next.resize(static_cast<size_t>(n));
        // A relative link is relative to the folder that holds it.
        target = next.front() == '/' ? next : FolderOf(target) + "/" + next;
    }
    return target;  // a loop: the open fails on it later
}

bool RemoveIfStillHeld(const std::string& path, int fd) {
    struct stat held {
    }, now{};
    if (fstat(fd, &held) != 0 || lstat(path.c_str(), &now) != 0) return false;
    if (held.st_dev != now.st_dev || held.st_ino != now.st_ino) return false;
    return unlink(path.c_str()) == 0;
}

std::string TemporaryPathFor(const std::string& target) { return target + ".tmp" + std::to_string(getpid()); }

UpdateResult UpdateSmallFile(const std::string& path, size_t limit,
                             const std::function<std::string(const std::string&)>& edit) {
    const std::string target = WriteTargetOf(path);
    if (!MakeFolders(FolderOf(target))) return UpdateResult::Failed;
    bool created = false;
    const int fd = OpenLocked(target, created);
    if (fd < 0) return UpdateResult::Failed;
    UpdateResult result = UpdateResult::Failed;
    std::string text;
    if (!created && !MayWrite(fd, target)) {
        result = UpdateResult::ReadOnly;
    } else if (const ReadResult read = ReadFd(fd, text, limit); read == ReadResult::TooLarge) {
        result = UpdateResult::TooLarge;
    } else if (struct stat old{}; read == ReadResult::Ok && fstat(fd, &old) == 0) {
        int error = 0;
        const std::string content = edit(text);
        if (WriteReplacement(
                target, &old, [&](int out) { return WriteAll(out, content); }, error))
            result = UpdateResult::Written;
    }
    // A file made only to hold the lock goes again when nothing was written.
    if (created && result != UpdateResult::Written) RemoveIfStillHeld(target, fd);
    close(fd);  // releases the lock
    return result;
}

bool ReplaceFileThrough(const std::string& path, const std::function<bool(int fd)>& fill, bool makeFolders,
                        int& error) {
    error = 0;
    const std::string target = WriteTargetOf(path);
    if (makeFolders && !MakeFolders(FolderOf(target))) {
        error = errno;
        return false;
    }
    struct stat old {};
    const bool replaces = stat(target.c_str(), &old) == 0;
    return WriteReplacement(target, replaces ? &old : nullptr, fill, error);
}

}  // namespace plat
