#pragma once
// Erase, program, read back and compare: the production sequence.
#include "link/check_memory_cmd.h"

namespace kv {

class CEPRCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Ok when every phase passed and the closing status check found no
    // program error; otherwise the first phase's outcome that failed.
    Outcome Run();

private:
    Outcome RunKelvane();
    Outcome RunKelvlite();
    // The erase of the erase command; its failure is told. The read time-out
    // is 5000 ms afterwards.
    Outcome Erase();
};

}  // namespace kv
