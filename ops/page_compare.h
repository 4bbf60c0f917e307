#pragma once
// The read-and-compare loop that the blank check, the read check and the
// combined sequences share: read the chip page by page, compare every byte
// with what the page should hold, and stop at the first one that differs.
#include <cstdint>
#include <functional>

#include "image/mot_file.h"
#include "link/check_memory_cmd.h"
#include "ops/page_loop.h"

namespace kv {

struct PageCompare {
    const char* message;  // progress display
    const char* title;
    Operation op;
    Phase phase;
    OutcomeKind failure;  // NotBlank or Difference
    bool purge = true;    // drop stale input before each page read
    // The bytes the page at `address` should hold.
    std::function<void(uint32_t address, uint8_t* buffer)> expected;
    PagePick pick = {};  // the pages of the range that are read
};

// The bytes a blank page holds, and those the image gives a page (0xFF
// where it holds none).
void BlankPage(uint32_t address, uint8_t* buffer);
void ImagePage(const CMotFile& image, uint32_t address, uint8_t* buffer);

// Runs the loop over start..end (whole pages). The first byte that differs
// and a cancel are told as they happen; answers Ok, the failure, Cancelled
// or Stopped, or LinkLost (the recovery has run).
Outcome ComparePages(CCheckMemorryCmd& cmd, uint32_t start, uint32_t end, const PageCompare& check);

}  // namespace kv
