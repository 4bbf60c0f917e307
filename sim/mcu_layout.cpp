#include "sim/mcu_layout.h"

namespace sim {

std::array<uint32_t, 7> IdAddresses(McuType mcu) {
    switch (mcu) {
        case McuType::VireoH: return {0xFFFFDF, 0xFFFFE3, 0xFFFFEB, 0xFFFFEF, 0xFFFFF3, 0xFFFFF7, 0xFFFFFB};
        case McuType::Wren: return {0xFFD4, 0xFFD5, 0xFFD6, 0xFFD7, 0xFFD8, 0xFFD9, 0xFFDA};
        case McuType::VireoM: break;
    }
    return {0x0FFFDF, 0x0FFFE3, 0x0FFFEB, 0x0FFFEF, 0x0FFFF3, 0x0FFFF7, 0x0FFFFB};
}

std::optional<EraseBlock> BlockAt(uint32_t address) {
    struct Region {
        uint32_t first, last, blockSize;
    };
    static constexpr Region kRegions[] = {
        {0x000000, 0x00FFFF, 0x1000},
        {0x0C0000, 0x0FFFFF, 0x2000},
        {0xF00000, 0xFFFFFF, 0x10000},
    };
    for (const auto& r : kRegions) {
        if (address < r.first || address > r.last) continue;
        uint32_t first = address - (address - r.first) % r.blockSize;
        return EraseBlock{first, first + r.blockSize - 1};
    }
    return std::nullopt;
}

}  // namespace sim
