#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <streambuf>

#include "platform/linux/small_file.h"

namespace plat {
namespace {

// A stream buffer over a file descriptor: reads (with seeking) when it owns
// the descriptor, writes when it only borrows one.
class FdBuffer final : public std::streambuf {
public:
    FdBuffer(int fd, bool owned) : fd_(fd), owned_(owned) { setp(buffer_, buffer_ + sizeof buffer_); }
    ~FdBuffer() override {
        if (owned_) ::close(fd_);
    }
    FdBuffer(const FdBuffer&) = delete;
    FdBuffer& operator=(const FdBuffer&) = delete;

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        ssize_t n;
        do n = ::read(fd_, buffer_, sizeof buffer_);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            if (n < 0) throw std::ios_base::failure(std::strerror(errno));  // the stream turns it into badbit
            return traits_type::eof();
        }
        setg(buffer_, buffer_, buffer_ + n);
        return traits_type::to_int_type(*gptr());
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        if (dir == std::ios_base::cur) offset -= egptr() - gptr();
        const int whence = dir == std::ios_base::beg ? SEEK_SET : dir == std::ios_base::cur ? SEEK_CUR : SEEK_END;
        const off_t at = ::lseek(fd_, offset, whence);
        if (at < 0) return pos_type(off_type(-1));
        setg(buffer_, buffer_, buffer_);
        return pos_type(at);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }

    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const char* at = pbase();
        while (at < pptr()) {
            const ssize_t n = ::write(fd_, at, static_cast<size_t>(pptr() - at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            at += n;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return true;
    }

    int fd_;
    bool owned_;
    char buffer_[64 * 1024];
};

class FdInput final : public std::istream {
public:
    explicit FdInput(int fd) : std::istream(nullptr), buffer_(fd, true) { rdbuf(&buffer_); }

private:
    FdBuffer buffer_;
};

}  // namespace

std::unique_ptr<std::istream> OpenRegularFile(const std::string& path, OpenError& error, std::string& reason) {
    // O_NONBLOCK so that a FIFO in the file's place cannot hang the open;
    // regular files ignore the flag.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = errno == ENOENT || errno == ENOTDIR ? OpenError::Missing : OpenError::Failed;
        reason = error == OpenError::Missing ? "not found" : std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = OpenError::NotRegular;
        reason = "not a regular file";
        return nullptr;
    }
    error = OpenError::None;
    reason.clear();
    return std::make_unique<FdInput>(fd);
}

namespace {

// Empty when `target` is a regular file or names nothing yet.
std::string RefusedTarget(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return "";
    if (S_ISDIR(st.st_mode)) return "is a folder";
    return S_ISREG(st.st_mode) ? "" : "not a regular file";
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool CheckFileCanBeWritten(const std::string& path, std::string& reason) {
    const std::string target = WriteTargetOf(path);
    reason = RefusedTarget(target);
    if (!reason.empty()) return false;
    const std::string folder = FolderOf(target);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = "the folder " + folder + " does not exist";
        return false;
    }
    const std::string temp = TemporaryPathFor(target);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    int fd = ::open(temp.c_str(), flags, 0600);
    if (fd < 0 && errno == EEXIST) {
        // Left by an earlier process with our id, as the write itself assumes.
        ::unlink(temp.c_str());
        fd = ::open(temp.c_str(), flags, 0600);
    }
    if (fd < 0) {
        reason = "no file can be made in " + folder + ": " + std::strerror(errno);
        return false;
    }
    // A full file system still makes empty files: ask for a block as well.
    const int full = ::posix_fallocate(fd, 0, 4096);
    ::close(fd);
    ::unlink(temp.c_str());
    // File systems that cannot reserve space say nothing about room.
    if (full != 0 && full != EOPNOTSUPP && full != EINVAL && full != ENODEV) {
        reason = "no room in " + folder + ": " + std::strerror(full);
        return false;
    }
    reason.clear();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::function<bool(std::ostream&)>& write,
                         std::string& reason) {
    // A rename would put a regular file in the place of a device node or FIFO.
    reason = RefusedTarget(WriteTargetOf(path));
    if (!reason.empty()) return false;
    int error = 0;
    const bool ok = ReplaceFileThrough(
        path,
        [&](int fd) {
            FdBuffer buffer(fd, false);
            std::ostream out(&buffer);
            errno = 0;
            return write(out) && out.flush().good();
        },
        false, error);
    reason = ok ? "" : error != 0 ? std::strerror(error) : "the file could not be written";
    return ok;
}

bool AppendWhole(const std::string& path, const std::string& text, std::string& reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    int locked;
    do locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    struct stat st {};
    bool ok = locked == 0 && ::fstat(fd, &st) == 0;
    if (!ok) reason = std::strerror(errno);
    if (ok && !S_ISREG(st.st_mode)) {
        ok = false;
        reason = "not a regular file";
    }
    if (ok) {
        ssize_t written;
        do written = ::write(fd, text.data(), text.size());
        while (written < 0 && errno == EINTR);
        if (written != static_cast<ssize_t>(text.size())) {
            reason = written < 0 ? std::strerror(errno) : "the disk is full";
            // A part of the line would spoil the file for its readers.
            if (written > 0 && ::ftruncate(fd, st.st_size) != 0) reason += "; a part of the line is left";
            ok = false;
        }
    }
    ::close(fd);  // the lock goes with it
    return ok;
}

}  // namespace plat
