#pragma once
// Blank check, program, read back and compare, for a chip that is erased
// already.
#include "link/check_memory_cmd.h"

namespace kv {

class CBPRCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Answers 1 when the closing status check found no program error, else 0
    // (kelvane answers the program phase's result after a difference).
    int Run();

private:
    int RunKelvane();
    int RunKelvlite();
};

}  // namespace kv
