#pragma once
// Compares a range of the chip's flash with the memory image.
#include <cstdint>

#include "link/check_memory_cmd.h"

namespace kv {

class CReadCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Asks the range, reads it page by page and names the first byte that
    // differs from the image (0xFF where the image holds nothing). Always
    // answers 0.
    int Run();

    // The image's bytes for the page at `address`: 0xFF where it holds none.
    void ExpectedPage(uint32_t address, uint8_t* buffer);
    // Shows the report for the first byte that differs.
    void ReportMismatch(uint32_t address, uint8_t expected, uint8_t read);
};

}  // namespace kv
