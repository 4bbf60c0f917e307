#pragma once
// Compares a range of the chip's flash with the memory image.
#include "link/check_memory_cmd.h"

namespace kv {

class CReadCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    int Run();
};

}  // namespace kv
