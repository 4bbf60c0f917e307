#pragma once
// Reads the status register and shows it word by word.
#include "link/command.h"

namespace kv {

class CStatesCmd : public CCommand {
public:
    using CCommand::CCommand;
    int Run();
};

}  // namespace kv
