#pragma once
// Base of the memory operations (blank check, read check, program, the
// combined sequences, download): page reads, page buffers, addresses.
#include <cstdint>
#include <string>

#include "link/command.h"

namespace kv {

class CCheckMemorryCmd : public CCommand {
public:
    using CCommand::CCommand;

    // Reads the 256-byte page that begins at `address` (low 8 bits ignored)
    // under the page-read time-out of the settings. 1, or 0 after a missing
    // reply or one of another length (the recovery has run); the buffer is
    // untouched then.
    int ReadPage(CSerialComm& channel, uint8_t* buffer, uint32_t address);

    // The address range question and the memory image scans.
    int AskAddressRange(uint32_t& start, uint32_t& end);
    int FindImageRange(uint32_t& start, uint32_t& end);
    int DefaultImageRange(uint32_t& start, uint32_t& end);
    int FindDownloadRange(uint32_t& start, uint32_t& end);

    // high = address bits 16-23, middle = bits 8-15.
    static void SplitAddress(uint32_t address, uint8_t& high, uint8_t& middle);
    static void FillPage(uint8_t* buffer);   // 256 bytes of 0xFF
    static void ClearPage(uint8_t* buffer);  // 256 bytes of 0x00
    static int IsBelow(uint32_t a, uint32_t b) { return a < b ? 1 : 0; }
    // Upper-case hexadecimal, at least six digits ("0C0000").
    static std::string ToHex6(uint32_t value);
    // Hexadecimal text to a number; characters that are no hex digit count
    // as 0, and a value beyond 32 bits gives 0xFFFFFFFF (never a wrapped one).
    static uint32_t HexToInt(const std::string& text);
};

}  // namespace kv
