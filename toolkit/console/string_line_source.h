#pragma once
// Console input for tests: lines from a string, more of which may "arrive"
// later through Append.
#include <string>

#include "platform/line_reader.h"

namespace tk {

using LineSource = plat::ILineSource;

class StringLineSource : public LineSource {
public:
    explicit StringLineSource(std::string text = {}) : buf_(std::move(text)) {}

    // More input arrives.
    void Append(const std::string& text) { buf_ += text; }
    // No more input will arrive: a last line without a line end is complete.
    void End() { ended_ = true; }

    // Nothing can arrive while a test waits, so a partial line is taken as the
    // last one and an empty buffer is the end of input.
    bool ReadLine(std::string& line) override;
    std::optional<std::string> PeekCompleteLine() override;

    const std::string& Unread() const { return buf_; }

private:
    std::string buf_;
    bool ended_ = false;
};

}  // namespace tk
