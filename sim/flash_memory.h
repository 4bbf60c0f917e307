#pragma once
// The chip's 16 MiB flash, held sparsely: a 256-byte page exists only once
// something was written into it; everything else reads as erased (0xFF).
#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace sim {

inline constexpr uint32_t kPageSize = 256;
inline constexpr uint32_t kFlashSize = 0x1000000;
inline constexpr uint8_t kErased = 0xFF;

class FlashMemory {
public:
    using Page = std::array<uint8_t, kPageSize>;

    uint8_t Read(uint32_t address) const;
    Page ReadPage(uint32_t pageAddress) const;  // low 8 bits ignored
    // Stores bytes as they are (no flash rules): for images and the ID.
    void Write(uint32_t address, uint8_t value);
    void Write(uint32_t address, const std::vector<uint8_t>& bytes);

    // Flash rules: programming can only clear bits. False (and nothing
    // changed) when a byte would need a 0 turned back into a 1.
    bool Program(uint32_t pageAddress, const Page& data);
    // Back to 0xFF from `first` to `last` inclusive.
    void Erase(uint32_t first, uint32_t last);
    void EraseAll() { pages_.clear(); }

    bool IsBlank(uint32_t first, uint32_t last) const;
    // Page addresses that hold something other than 0xFF, ascending.
    std::vector<uint32_t> UsedPages() const;

private:
    std::map<uint32_t, Page> pages_;  // key: page number
};

}  // namespace sim
