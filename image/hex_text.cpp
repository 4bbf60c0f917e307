#include "image/hex_text.h"

#include <cstdio>

namespace kv {

std::string ToHex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

std::string ToHex2(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
    return text;
}

uint32_t HexToInt(const std::string& text) {
    constexpr uint32_t kMax = 0xFFFFFFFF;
    uint32_t value = 0;
    for (char ch : text) {
        const int d = HexDigit(ch);
        const uint32_t digit = d < 0 ? 0 : static_cast<uint32_t>(d);
        // A value that no longer fits stays at the top, so that nine or more
        // digits can never wrap round to a small address.
        if (value > (kMax - digit) / 16) return kMax;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace kv
