// kelvane-cli's argument parser on arbitrary arguments (NUL separates them).
// Whatever it accepts must hold together: a range in order and in whole
// pages, an ID of seven bytes that reads back the same, and the same answer
// when parsed again.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
    std::vector<std::string> args = {"kelvane-cli"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::vector<std::string> args = Arguments(data, size);
    const kv::cli::ParseResult first = kv::cli::ParseOptions(args);
    const kv::cli::ParseResult again = kv::cli::ParseOptions(args);
    Check(first.error == again.error);
    if (!first.error.empty()) {
        Check(first.error.find('\n') == std::string::npos);  // one line, as promised
        return 0;
    }
    const kv::cli::Options& o = first.options;
    Check(o.commands.size() == again.options.commands.size());
    for (const kv::cli::Command& c : o.commands) {
        if (!c.range) continue;
        Check(c.range->first <= c.range->second);
        Check(c.range->second <= 0xFFFFFF);
        Check(c.range->first % 256 == 0 && c.range->second % 256 == 255);
    }
    for (const kv::cli::PortEntry& p : o.ports) Check(!p.name.empty());

    // Each argument on its own, through the smaller parsers.
    for (size_t i = 1; i < args.size(); ++i) {
        if (const auto id = kv::cli::ParseIdText(args[i])) {
            static const char* digits = "0123456789ABCDEF";
            std::string text;
            for (uint8_t b : *id) {
                text.push_back(digits[b >> 4]);
                text.push_back(digits[b & 15]);
            }
            Check(kv::cli::ParseIdText(text) == id);
        }
        if (const auto range = kv::cli::ParseRange(args[i])) {
            Check(range->first <= range->second && range->second <= 0xFFFFFF);
        }
    }
    return 0;
}
