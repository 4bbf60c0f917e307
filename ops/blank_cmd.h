#pragma once
// Checks that a range of the chip's flash is erased.
#include <cstdint>

#include "link/check_memory_cmd.h"

namespace kv {

class CBlankCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Asks the range, reads it page by page and names the first byte that is
    // not 0xFF. Always answers 0.
    int Run();

    // Shows the report for a byte that is not blank.
    void ReportNotBlank(uint32_t address, uint8_t value);
};

}  // namespace kv
