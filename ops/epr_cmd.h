#pragma once
// Erase, program, read back and compare: the production sequence.
#include "link/check_memory_cmd.h"

namespace kv {

class CEPRCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Answers 1 when the closing status check found no program error, 0 when
    // a phase ended the run or the check reported an error.
    int Run();

private:
    int RunKelvane();
    int RunKelvlite();
    // The erase of the erase command without its success report; "Erase
    // error." on failure. The read time-out is 5000 ms afterwards.
    int Erase();
};

}  // namespace kv
