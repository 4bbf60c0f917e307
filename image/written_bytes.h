#pragma once
// Which bytes of the image a load has written so far, one bit each, so that
// two records that give one address different values can be told from a
// record that repeats what an earlier one wrote.
#include <cstdint>
#include <optional>
#include <vector>

#include "image/mot_file.h"

namespace kv {

class WrittenBytes {
public:
    // The first address of address..address+size-1 that an earlier record
    // wrote with another value than `data` gives it; nothing when there is
    // none. The bytes lie inside the address space.
    std::optional<uint32_t> Conflict(const CMotFile& image, uint32_t address, const uint8_t* data,
                                     uint32_t size) const {
        if (bits_.empty()) return std::nullopt;
        for (uint32_t i = 0; i < size; ++i) {
            const uint32_t at = address + i;
            if (!Has(at)) continue;
            const CLineImage* page = image.Page(at >> 8);
            if (page && page->Bytes()[at & 0xFF] != data[i]) return at;
        }
        return std::nullopt;
    }

    void Mark(uint32_t address, uint32_t size) {
        if (bits_.empty()) bits_.assign(CMotFile::kAddressSpace / 64, 0);
        for (uint32_t at = address; at < address + size; ++at) bits_[at >> 6] |= uint64_t{1} << (at & 63);
    }

private:
    bool Has(uint32_t at) const { return (bits_[at >> 6] >> (at & 63)) & 1; }

    std::vector<uint64_t> bits_;  // 2 MiB, made at the first mark
};

}  // namespace kv
