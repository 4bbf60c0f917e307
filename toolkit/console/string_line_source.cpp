#include "toolkit/console/string_line_source.h"

namespace tk {

namespace {
void StripCr(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}
}  // namespace

bool StringLineSource::ReadLine(std::string& line) {
    if (buf_.empty()) return false;
    const size_t nl = buf_.find('\n');
    if (nl == std::string::npos) {
        line = buf_;
        buf_.clear();
    } else {
        line = buf_.substr(0, nl);
        buf_.erase(0, nl + 1);
    }
    StripCr(line);
    return true;
}

std::optional<std::string> StringLineSource::PeekCompleteLine() {
    const size_t nl = buf_.find('\n');
    if (nl == std::string::npos && !(ended_ && !buf_.empty())) return std::nullopt;
    std::string line = buf_.substr(0, nl);
    StripCr(line);
    return line;
}

}  // namespace tk
