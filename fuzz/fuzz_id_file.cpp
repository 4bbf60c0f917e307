// The ID file reader against a plain reading of its rules. The first input
// byte picks the starting MCU type (including types outside 0..2).
#include <array>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "image/id_file.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr size_t kMaxLine = 1024;

std::vector<std::string> Lines(const std::string& input) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        std::string line = input.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Overlong lines and lines with a control character (a tab aside) are no ID lines.
        bool malformed = line.size() > kMaxLine;
        for (unsigned char c : line) malformed = malformed || (c < 0x20 && c != '\t') || c == 0x7F;
        if (!malformed) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int startType = static_cast<int8_t>(data[0]) % 4;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    std::istringstream first(input);
    int type = startType;
    kv::ScanIdFileType(first, type);
    std::istringstream second(input);
    std::array<std::optional<std::string>, 7> ids;
    kv::ReadIdFileBytes(second, type, ids);

    int expectedType = startType;
    for (const auto& line : Lines(input)) {
        if (line.rfind("FFFFDF", 0) == 0)
            expectedType = 1;
        else if (line.rfind("FFD4", 0) == 0)
            expectedType = 2;
    }
    Check(type == expectedType);

    std::array<std::optional<std::string>, 7> expected;
    const auto& addresses = kv::IdAddressTexts(type);
    for (std::string line : Lines(input)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();  // trailing blanks
        for (size_t j = 0; j < 7; ++j) {
            const std::string address = addresses[j];
            if (line.size() >= address.size() && line.compare(0, address.size(), address) == 0)
                expected[j] = line.substr(line.size() - 2);
        }
    }
    Check(ids == expected);
    for (const auto& id : ids) {
        Check(!id || id->size() == 2);
        if (id)
            for (unsigned char c : *id) Check(c >= 0x20 || c == '\t');
    }
    return 0;
}
