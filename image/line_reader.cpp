#include "image/line_reader.h"

#include <cstring>
#include <istream>

namespace kv {

LineReader::LineReader(std::istream& in, size_t maxLine, size_t chunk)
    : in_(in), maxLine_(maxLine), buffer_(chunk + maxLine + 2) {}

// Moves the unread rest to the front and reads more behind it.
bool LineReader::Fill() {
    if (atEnd_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    const auto got = static_cast<size_t>(in_.gcount());
    end_ += got;
    if (in_.bad()) readFailed_ = true;
    if (!in_) atEnd_ = true;
    return got > 0;
}

std::string_view LineReader::Finish(const char* begin, const char* end) {
    if (end > begin && end[-1] == '\r') --end;
    ++lineNumber_;
    return {begin, static_cast<size_t>(end - begin)};
}

void LineReader::SkipRestOfLine() {
    for (;;) {
        const char* base = buffer_.data();
        const void* nl = std::memchr(base + begin_, '\n', end_ - begin_);
        if (nl) {
            begin_ = static_cast<size_t>(static_cast<const char*>(nl) - base) + 1;
            return;
        }
        begin_ = end_ = 0;
        if (!Fill()) return;
    }
}

bool LineReader::Next(std::string_view& line) {
    overlong_ = false;
    if (skipPending_) {
        skipPending_ = false;
        SkipRestOfLine();
    }
    if (readFailed_) return false;
    for (;;) {
        const char* base = buffer_.data();
        const size_t pending = end_ - begin_;
        const void* nl = std::memchr(base + begin_, '\n', pending);
        if (nl) {
            const char* lineEnd = static_cast<const char*>(nl);
            const size_t length = static_cast<size_t>(lineEnd - (base + begin_));
            // A CR before the LF does not count against the bound.
            const size_t text = (length > 0 && lineEnd[-1] == '\r') ? length - 1 : length;
            if (text <= maxLine_) {
                line = Finish(base + begin_, lineEnd);
                begin_ += length + 1;
                return true;
            }
        }
        if (pending > maxLine_ + 1 || (nl && pending > maxLine_)) {
            // Too long to be one of ours: keep its start; the rest is
            // dropped when the next line is asked for.
            overlongStart_.assign(base + begin_, maxLine_);
            begin_ += maxLine_;
            skipPending_ = true;
            overlong_ = true;
            ++lineNumber_;
            line = overlongStart_;
            return true;
        }
        if (!Fill()) {
            if (readFailed_ || begin_ == end_) return false;
            // The last line has no line end.
            const size_t length = end_ - begin_;
            const char* start = buffer_.data() + begin_;
            begin_ = end_;
            const size_t text = (start[length - 1] == '\r') ? length - 1 : length;
            if (text > maxLine_) {
                overlongStart_.assign(start, maxLine_);
                overlong_ = true;
                ++lineNumber_;
                line = overlongStart_;
                return true;
            }
            line = Finish(start, start + length);
            return true;
        }
    }
}

}  // namespace kv
