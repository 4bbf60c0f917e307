#pragma once
// Erase of the chip's flash: all blocks, or block by block on old boot loaders.
#include "link/command.h"

namespace kv {

class CEraseCmd : public CCommand {
public:
    using CCommand::CCommand;
    int Run();
};

}  // namespace kv
