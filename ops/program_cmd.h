#pragma once
// Writes the memory image into the chip page by page.
#include <array>
#include <cstdint>

#include "link/check_memory_cmd.h"

namespace kv {

// The page program frame: 0x41, address bits 8-15, bits 16-23, 256 bytes.
using PageFrame = std::array<uint8_t, 3 + kPageSize>;

class CProgramCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Asks and confirms the range, programs it under the progress window and
    // reports "Program OK." or "Program error.". Answers 1 after a good final
    // status check.
    int Run();

    // Builds the frame for the page at `address` from the memory image; a
    // page the image does not hold goes out as 0xFF.
    void BuildPageFrame(uint32_t address, PageFrame& frame);
    // Sends one page: kelvlite loads the routine first and reads the
    // acknowledgement after the frame. Answers 0 when an acknowledgement
    // failed (the recovery has run).
    int SendPage(uint32_t address);
    // Clear status before the first page (kelvlite: its routine alone).
    // Answers 0 when the routine was not acknowledged (the recovery has run).
    int ClearStatus();
};

}  // namespace kv
