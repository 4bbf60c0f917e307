#pragma once
// Reads the status register and shows it word by word.
#include "link/command.h"

namespace kv {

class CStatesCmd : public CCommand {
public:
    using CCommand::CCommand;
    // Ok with the status bytes, or LinkLost (the recovery has run).
    Outcome Run();
};

}  // namespace kv
