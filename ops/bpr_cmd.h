#pragma once
// Blank check, program, read back and compare on an erased chip.
#include "link/check_memory_cmd.h"

namespace kv {

class CBPRCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    int Run();
};

}  // namespace kv
