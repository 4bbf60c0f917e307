#pragma once
// Writes the memory image into the chip page by page.
#include "link/check_memory_cmd.h"

namespace kv {

class CProgramCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    int Run();
};

}  // namespace kv
