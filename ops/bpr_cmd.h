#pragma once
// Blank check, program, read back and compare, for a chip that is erased
// already.
#include "link/check_memory_cmd.h"

namespace kv {

class CBPRCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Ok when every phase passed and the closing status check found no
    // program error; otherwise the first phase's outcome that failed (a
    // program error in kelvane, which the read-back and the status check
    // tell, comes before a difference they find).
    Outcome Run();

private:
    Outcome RunKelvane();
    Outcome RunKelvlite();
};

}  // namespace kv
