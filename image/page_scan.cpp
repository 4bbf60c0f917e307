#include "image/page_scan.h"

namespace kv {

bool FindDataPages(const CMotFile& image, uint32_t limitAddress, uint32_t& first, uint32_t& last) {
    // Pages whose address lies below the limit: ceil(limit / 256) of them.
    const uint64_t limitPage64 = (uint64_t{limitAddress} + 255) / 256;
    const auto limitPage = static_cast<uint32_t>(limitPage64 < CMotFile::kPages ? limitPage64 : CMotFile::kPages);
    const PageSet& present = image.PresentPages();
    const uint32_t lowest = present.Lowest(limitPage);
    if (lowest >= CMotFile::kPages) return false;
    const uint32_t highest = present.Highest(limitPage);
    first = lowest << 8;
    last = (highest << 8) | 0xFF;
    return true;
}

}  // namespace kv
