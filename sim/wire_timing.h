#pragma once
// Time a byte takes on the wire: a start bit, 8 data bits, a stop bit.
#include <cstdint>

namespace sim {

inline constexpr uint32_t kBitsPerByte = 10;

// Microseconds for `count` bytes at `baud`.
inline uint64_t WireTimeUs(uint64_t count, uint32_t baud) {
    return baud == 0 ? 0 : (count * kBitsPerByte * 1000000ull + baud - 1) / baud;
}

}  // namespace sim
