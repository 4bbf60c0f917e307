#include "platform/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace plat {

namespace {

class FdLineSource : public ILineSource {
public:
    // poll ignores a negative fd and would wait for ever.
    FdLineSource(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd), eof_(fd < 0) {}

    bool ReadLine(std::string& line) override {
        for (;;) {
            if (TakeLine(line)) return true;
            if (eof_) return false;
            if (!Fill(-1)) return false;  // a stop request woke the wait
        }
    }

    std::optional<std::string> PeekCompleteLine() override {
        // Drain what is readable right now; stop as soon as a line is complete.
        for (;;) {
            if (auto line = CompleteLine()) return line;
            if (eof_) return std::nullopt;
            const size_t before = buf_.size() + consumed_;
            if (!Fill(0)) return std::nullopt;
            if (buf_.size() + consumed_ == before && !eof_) return std::nullopt;
        }
    }

    size_t TakeRefusedLines() override {
        const size_t n = refused_;
        refused_ = 0;
        return n;
    }

private:
    // The next line that is whole and not too long, left in the buffer;
    // lines that are too long are refused on the way.
    std::optional<std::string> CompleteLine() {
        for (;;) {
            const size_t nl = FindNewline();
            if (nl == std::string::npos) {
                if (!eof_) return std::nullopt;
                if (dropping_) {  // the input ended inside a refused line
                    dropping_ = false;
                    ++refused_;
                }
                if (buf_.empty()) return std::nullopt;
                return Stripped(buf_);
            }
            const size_t length = (nl > 0 && buf_[nl - 1] == '\r') ? nl - 1 : nl;
            if (length <= kMaxInputLine) return Stripped(buf_.substr(0, nl));
            Consume(nl + 1);
            ++refused_;
        }
    }

    bool TakeLine(std::string& line) {
        auto next = CompleteLine();
        if (!next) return false;
        const size_t nl = FindNewline();
        Consume(nl == std::string::npos ? buf_.size() : nl + 1);
        line = std::move(*next);
        return true;
    }

    // Where the first line end stands; the search goes on from where the
    // last one stopped, so a long line is scanned once, not at every read.
    size_t FindNewline() {
        const size_t nl = buf_.find('\n', scanned_);
        scanned_ = nl == std::string::npos ? buf_.size() : nl;
        return nl;
    }

    void Consume(size_t n) {
        buf_.erase(0, n);
        scanned_ = 0;
        consumed_ += n;
    }

    static std::string Stripped(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

    // Takes in newly read bytes. A line that grows beyond any answer is
    // dropped as it arrives, up to its line end, so memory stays bounded.
    void Absorb(std::string_view chunk) {
        if (dropping_) {
            const size_t nl = chunk.find('\n');
            if (nl == std::string_view::npos) return;
            chunk.remove_prefix(nl + 1);
            dropping_ = false;
            ++refused_;
        }
        buf_.append(chunk);
        // (One byte more for the '\r' of a "\r\n" still to come.)
        if (FindNewline() == std::string::npos && buf_.size() > kMaxInputLine + 1) {
            consumed_ += buf_.size();
            buf_.clear();
            scanned_ = 0;
            dropping_ = true;
        }
    }

    // One poll (timeout -1: wait; 0: only look) and at most one read. False
    // when the wake-up descriptor ended the wait.
    bool Fill(int timeoutMs) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(p, wakeFd_ >= 0 ? 2 : 1, timeoutMs);
        if (r < 0) {
            if (errno != EINTR && errno != EAGAIN) eof_ = true;
            return true;
        }
        if (wakeFd_ >= 0 && (p[1].revents & POLLIN)) return false;
        if (r == 0) return true;
        if (p[0].revents & POLLNVAL) {
            eof_ = true;
            return true;
        }
        char chunk[4096];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0)
            Absorb(std::string_view(chunk, static_cast<size_t>(n)));
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            eof_ = true;
        return true;
    }

    int fd_;
    int wakeFd_;
    std::string buf_;
    size_t scanned_ = 0;   // buf_ holds no line end before this offset
    size_t consumed_ = 0;  // bytes taken or dropped so far (tells whether a read brought any)
    size_t refused_ = 0;   // lines refused as too long, not yet reported
    bool dropping_ = false;
    bool eof_;
};

}  // namespace

std::unique_ptr<ILineSource> MakeFdLineSource(int fd, int wakeFd) { return std::make_unique<FdLineSource>(fd, wakeFd); }

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

}  // namespace plat
