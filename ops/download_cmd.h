#pragma once
// Downloads a range of the memory image in one transfer.
#include "link/check_memory_cmd.h"

namespace kv {

class CDownloadCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;
    int Run();
};

}  // namespace kv
