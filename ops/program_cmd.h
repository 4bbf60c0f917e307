#pragma once
// Writes the memory image into the chip page by page.
#include <cstdint>

#include "link/check_memory_cmd.h"

namespace kv {

class CProgramCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Asks and confirms the range, programs it under the progress display and
    // tells "Program OK." or "Program error." after the closing status check.
    Outcome Run();
};

}  // namespace kv
