#pragma once
// Which of the 65,536 pages of the image are present, one bit each, so that
// a range scan looks at 1,024 words rather than 65,536 page slots.
#include <array>
#include <bit>
#include <cstdint>

namespace kv {

class PageSet {
public:
    static constexpr uint32_t kPages = 65536;

    void Insert(uint32_t page) {
        uint64_t& word = words_[page >> 6];
        const uint64_t bit = uint64_t{1} << (page & 63);
        count_ += (word & bit) ? 0 : 1;
        word |= bit;
    }
    bool Contains(uint32_t page) const { return page < kPages && (words_[page >> 6] >> (page & 63)) & 1; }
    void Clear() {
        words_.fill(0);
        count_ = 0;
    }
    uint32_t Count() const { return count_; }
    // The present pages among first..last.
    uint32_t CountIn(uint32_t first, uint32_t last) const {
        uint32_t n = 0;
        for (uint32_t page = first; page <= last && page < kPages; ++page) n += Contains(page) ? 1 : 0;
        return n;
    }

    // Calls f(page) for every present page in ascending order.
    template <class F>
    void ForEach(F f) const {
        for (uint32_t w = 0; w < words_.size(); ++w) {
            for (uint64_t word = words_[w]; word != 0; word &= word - 1)
                f(w * 64 + static_cast<uint32_t>(std::countr_zero(word)));
        }
    }

    // The lowest present page below `limit`, or kPages when there is none.
    uint32_t Lowest(uint32_t limit) const {
        if (limit > kPages) limit = kPages;
        for (uint32_t w = 0; w * 64 < limit; ++w) {
            if (words_[w] == 0) continue;
            const uint32_t page = w * 64 + static_cast<uint32_t>(std::countr_zero(words_[w]));
            return page < limit ? page : kPages;
        }
        return kPages;
    }

    // The highest present page below `limit`, or kPages when there is none.
    uint32_t Highest(uint32_t limit) const {
        if (limit > kPages) limit = kPages;
        for (uint32_t w = (limit + 63) / 64; w-- > 0;) {
            uint64_t word = words_[w];
            const uint32_t usable = limit - w * 64;  // pages of this word below limit
            if (usable < 64) word &= (uint64_t{1} << usable) - 1;
            if (word != 0) return w * 64 + 63 - static_cast<uint32_t>(std::countl_zero(word));
        }
        return kPages;
    }

private:
    std::array<uint64_t, kPages / 64> words_{};
    uint32_t count_ = 0;
};

}  // namespace kv
