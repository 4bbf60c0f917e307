#pragma once
// Splits a byte stream into lines without holding more than one chunk of it:
// LF or CR LF end a line, the end is not part of the line, and a line longer
// than the bound is reported as overlong (its start kept) instead of being
// buffered without limit. The rest of an overlong line is skipped only when
// the next line is asked for, so a reader that stops there reads no further.
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class LineReader {
public:
    static constexpr size_t kChunk = 64 * 1024;

    // `chunk` is how much is read at a time (small values serve tests).
    LineReader(std::istream& in, size_t maxLine, size_t chunk = kChunk);

    // Answers false at the end of the stream (or on a read error). The view
    // stays valid until the next call.
    bool Next(std::string_view& line);
    // The last line answered was longer than maxLine; the view holds its
    // first maxLine characters.
    bool Overlong() const { return overlong_; }
    // 1-based number of the last line answered.
    unsigned LineNumber() const { return lineNumber_; }
    // The stream failed while being read (not merely ended).
    bool ReadFailed() const { return readFailed_; }

private:
    bool Fill();
    void SkipRestOfLine();
    std::string_view Finish(const char* begin, const char* end);

    std::istream& in_;
    size_t maxLine_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool atEnd_ = false;
    bool readFailed_ = false;
    bool overlong_ = false;
    bool skipPending_ = false;  // the rest of the last (overlong) line is still unread
    unsigned lineNumber_ = 0;
    std::string overlongStart_;
};

}  // namespace kv
