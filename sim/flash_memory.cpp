#include "sim/flash_memory.h"

#include <algorithm>

namespace sim {

uint8_t FlashMemory::Read(uint32_t address) const {
    address &= kFlashSize - 1;
    auto it = pages_.find(address / kPageSize);
    return it == pages_.end() ? kErased : it->second[address % kPageSize];
}

FlashMemory::Page FlashMemory::ReadPage(uint32_t pageAddress) const {
    Page page;
    auto it = pages_.find((pageAddress & (kFlashSize - 1)) / kPageSize);
    if (it == pages_.end())
        page.fill(kErased);
    else
        page = it->second;
    return page;
}

void FlashMemory::Write(uint32_t address, uint8_t value) {
    address &= kFlashSize - 1;
    auto [it, added] = pages_.try_emplace(address / kPageSize);
    if (added) it->second.fill(kErased);
    it->second[address % kPageSize] = value;
}

void FlashMemory::Write(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) Write(address + static_cast<uint32_t>(i), bytes[i]);
}

bool FlashMemory::Program(uint32_t pageAddress, const Page& data) {
    Page old = ReadPage(pageAddress);
    for (size_t i = 0; i < kPageSize; ++i)
        if ((data[i] & ~old[i]) != 0) return false;
    bool allErased = std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == kErased; });
    if (allErased) return true;
    Page merged;
    for (size_t i = 0; i < kPageSize; ++i) merged[i] = static_cast<uint8_t>(old[i] & data[i]);
    pages_[(pageAddress & (kFlashSize - 1)) / kPageSize] = merged;
    return true;
}

void FlashMemory::Erase(uint32_t first, uint32_t last) {
    for (auto it = pages_.lower_bound(first / kPageSize); it != pages_.end() && it->first <= last / kPageSize;) {
        uint32_t base = it->first * kPageSize;
        if (base >= first && base + kPageSize - 1 <= last) {
            it = pages_.erase(it);
            continue;
        }
        for (uint32_t i = 0; i < kPageSize; ++i)
            if (base + i >= first && base + i <= last) it->second[i] = kErased;
        ++it;
    }
}

bool FlashMemory::IsBlank(uint32_t first, uint32_t last) const {
    for (auto it = pages_.lower_bound(first / kPageSize); it != pages_.end() && it->first <= last / kPageSize; ++it) {
        uint32_t base = it->first * kPageSize;
        for (uint32_t i = 0; i < kPageSize; ++i)
            if (base + i >= first && base + i <= last && it->second[i] != kErased) return false;
    }
    return true;
}

std::vector<uint32_t> FlashMemory::UsedPages() const {
    std::vector<uint32_t> out;
    for (const auto& [number, page] : pages_)
        if (std::any_of(page.begin(), page.end(), [](uint8_t b) { return b != kErased; }))
            out.push_back(number * kPageSize);
    return out;
}

}  // namespace sim
