// The settings text on arbitrary file contents: a key that was set reads back
// as set, and every other key reads back as before.
#include <cstdint>
#include <string>

#include "platform/linux/ini_text.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input: section, key, value (NUL separated), then the file's text.
    std::string parts[4];
    size_t part = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part < 3) {
            ++part;
            continue;
        }
        parts[part].push_back(static_cast<char>(data[i]));
    }
    const std::string& section = parts[0];
    const std::string& key = parts[1];
    const std::string& value = parts[2];
    const std::string& text = parts[3];

    (void)plat::IniLookup(text, section, key);
    if (!plat::IniCanStore(section, key, value) || section.empty() || key.empty()) return 0;
    // Values are stored trimmed of surrounding blanks.
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string::npos || value.back() == ' ' || value.back() == '\t' || first != 0) return 0;

    const std::string written = plat::IniWithValue(text, section, key, value);
    const auto read = plat::IniLookup(written, section, key);
    Check(read.has_value() && *read == value);
    // Setting it again changes nothing more.
    Check(plat::IniWithValue(written, section, key, value) == written);
    // Another key of the file keeps its value.
    // (Keys match in any case.)
    std::string lower = key.substr(key.find_first_not_of(" \t"));
    lower.erase(lower.find_last_not_of(" \t") + 1);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    static const char* kOther = "Other";
    if (lower != "other") Check(plat::IniLookup(written, section, kOther) == plat::IniLookup(text, section, kOther));
    return 0;
}
