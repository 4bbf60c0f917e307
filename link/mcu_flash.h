#pragma once
// Where the internal flash of each MCU type lies: 0 Vireo/M, 1 Vireo/H,
// 2 Wren; any other value is taken as Vireo/M, as the ID check takes it.
#include <cstdint>

namespace kv {

struct FlashRange {
    uint32_t first;
    uint32_t last;
};

constexpr FlashRange FlashOf(int mcuType) {
    if (mcuType == 1) return {0xF00000, 0xFFFFFF};
    if (mcuType == 2) return {0x000000, 0x00FFFF};
    return {0x0C0000, 0x0FFFFF};
}

}  // namespace kv
