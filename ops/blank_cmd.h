#pragma once
// Checks that a range of the chip's flash is erased.
#include "link/check_memory_cmd.h"

namespace kv {

class CBlankCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    int Run();
};

}  // namespace kv
