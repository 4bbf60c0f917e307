#pragma once
// Downloads a range of the memory image in one transfer: the command, the
// length, a checksum over the data, then the data page after page.
#include <cstdint>

#include "link/check_memory_cmd.h"

namespace kv {

class CDownloadCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    // Ok only when the whole transfer went out and the boot loader answered
    // that it took it: in the boot-loader mode its result reply, in the
    // internal-flash mode the status read after the transfer, whose
    // checksum bit must be set. A cancel before the last page leaves the
    // loader waiting for data; the recovery then rebuilds the link.
    Outcome Run();

    // The boot-loader mode takes nothing from this address on.
    static constexpr uint32_t kBootLoaderLimit = 0x2A00;
    // The length field has 16 bits and whole pages are sent.
    static constexpr uint32_t kMaxLength = 0xFF00;

    // The page as it goes out: 0x00 where the image holds no page.
    void DownloadPage(uint8_t* buffer, uint32_t address);
    // The low 8 bits of the sum of every byte sent over start..end.
    uint8_t Checksum(uint32_t start, uint32_t end);
    // Whether start..end may be downloaded in this mode: Ok, or the refusal
    // (told). Sends nothing.
    Outcome CheckRange(uint32_t start, uint32_t end);
    // The range a download offers: in the boot-loader mode only the pages
    // below 0x2C00 count.
    int FindRange(uint32_t& start, uint32_t& end);

private:
    Outcome ReadResult();
    Outcome ReadStatusAfterTransfer();
};

}  // namespace kv
