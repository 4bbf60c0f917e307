#pragma once
// Where each MCU type keeps its ID, and the erase blocks of the flash.
#include <array>
#include <cstdint>
#include <optional>

#include "sim/chip_options.h"

namespace sim {

// The seven ID byte addresses; the first is the one the ID check names.
std::array<uint32_t, 7> IdAddresses(McuType mcu);

struct EraseBlock {
    uint32_t first;
    uint32_t last;
};

// The block that holds `address`, or nothing when no block does. The map:
// 0x000000-0x00FFFF in 4 KiB blocks, 0x0C0000-0x0FFFFF in 8 KiB blocks,
// 0xF00000-0xFFFFFF in 64 KiB blocks.
std::optional<EraseBlock> BlockAt(uint32_t address);

}  // namespace sim
