// The line splitter, read in tiny chunks, against a plain split of the whole
// input: same lines, same overlong marks, in the same order.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "image/line_reader.h"

namespace {

struct Line {
    std::string text;
    bool overlong;
    bool operator==(const Line&) const = default;
};

std::vector<Line> PlainSplit(const std::string& input, size_t maxLine) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        const size_t next = end == std::string::npos ? input.size() : end + 1;
        if (end == std::string::npos) end = input.size();
        std::string text = input.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const bool overlong = text.size() > maxLine;
        if (overlong) text.resize(maxLine);
        lines.push_back({text, overlong});
        start = next;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t maxLine = 1 + data[0] % 64;
    const size_t chunk = data[1] % 32;
    const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);

    std::istringstream in(input);
    kv::LineReader reader(in, maxLine, chunk);
    std::vector<Line> got;
    std::string_view line;
    while (reader.Next(line)) {
        got.push_back({std::string(line), reader.Overlong()});
        if (reader.LineNumber() != got.size()) __builtin_trap();
    }
    if (reader.ReadFailed() || got != PlainSplit(input, maxLine)) __builtin_trap();
    return 0;
}
