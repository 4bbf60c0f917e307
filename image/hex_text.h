#pragma once
// Addresses and bytes as the programs show and take them: upper-case
// hexadecimal text.
#include <cstdint>
#include <string>

#include "image/hex_digit.h"

namespace kv {

// At least six digits ("0C0000"); larger values give all their digits.
std::string ToHex6(uint32_t value);
// Two digits ("0A").
std::string ToHex2(uint8_t value);
// Hexadecimal text to a number; characters that are no hex digit count as
// 0, and a value beyond 32 bits gives 0xFFFFFFFF (never a wrapped one).
uint32_t HexToInt(const std::string& text);

}  // namespace kv
