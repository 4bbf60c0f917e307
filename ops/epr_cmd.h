#pragma once
// Erase, program, read back and compare: the production sequence.
#include "link/check_memory_cmd.h"

namespace kv {

class CEPRCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    int Run();
};

}  // namespace kv
