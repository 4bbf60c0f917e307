#include "platform/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

namespace {

class FdLineSource : public ILineSource {
public:
    explicit FdLineSource(int fd) : fd_(fd), eof_(fd < 0) {}  // poll ignores a negative fd and would wait forever

    bool ReadLine(std::string& line) override {
        while (!HasLine()) {
            if (eof_) return false;
            Fill(-1);
        }
        const size_t nl = buf_.find('\n');
        if (nl == std::string::npos) {
            line = buf_;  // the last line, ended by the end of input
            buf_.clear();
        } else {
            line = buf_.substr(0, nl);
            buf_.erase(0, nl + 1);
        }
        StripCr(line);
        return true;
    }

    std::optional<std::string> PeekCompleteLine() override {
        // Drain what is readable right now; stop as soon as a line is complete.
        while (!HasLine() && !eof_) {
            const size_t before = buf_.size();
            Fill(0);
            if (buf_.size() == before) break;
        }
        if (!HasLine()) return std::nullopt;
        std::string line = NextLine();
        StripCr(line);
        return line;
    }

private:
    bool HasLine() const { return buf_.find('\n') != std::string::npos || (eof_ && !buf_.empty()); }

    std::string NextLine() const {
        const size_t nl = buf_.find('\n');
        return nl == std::string::npos ? buf_ : buf_.substr(0, nl);
    }

    static void StripCr(std::string& line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }

    // One poll (timeout -1: wait; 0: only look) and at most one read.
    void Fill(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0) {
            if (errno != EINTR && errno != EAGAIN) eof_ = true;
            return;
        }
        if (r == 0) return;
        if (p.revents & POLLNVAL) {
            eof_ = true;
            return;
        }
        char chunk[4096];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0)
            buf_.append(chunk, static_cast<size_t>(n));
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            eof_ = true;
    }

    int fd_;
    std::string buf_;
    bool eof_;
};

}  // namespace

std::unique_ptr<ILineSource> MakeFdLineSource(int fd) { return std::make_unique<FdLineSource>(fd); }

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

}  // namespace plat
