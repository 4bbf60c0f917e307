#pragma once
// The loop the blank and read checks share: ask the range, read the chip page
// by page, compare each page with what it should hold and name the first byte
// that differs.
#include <cstdint>
#include <functional>

#include "link/check_memory_cmd.h"

namespace kv {

struct PageCheck {
    const char* message;  // progress window
    const char* title;
    // The bytes the page at `address` should hold.
    std::function<void(uint32_t address, uint8_t* buffer)> expected;
    // Shows the report for the first byte that differs.
    std::function<void(uint32_t address, uint8_t expected, uint8_t read)> report;
    int okMessageId;  // kelvlite's message for a whole range without a difference
};

// Always answers 0.
int RunPageCheck(CCheckMemorryCmd& cmd, const PageCheck& check);

}  // namespace kv
