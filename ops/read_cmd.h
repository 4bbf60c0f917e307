#pragma once
// Compares a range of the chip's flash with the memory image.
#include "link/check_memory_cmd.h"

namespace kv {

class CReadCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Asks the range, reads it page by page and tells the first byte that
    // differs from the image (0xFF where the image holds nothing), or that
    // none does.
    Outcome Run();
};

}  // namespace kv
