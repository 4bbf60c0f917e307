#pragma once
// Reads the boot loader's version text and shows it.
#include "link/command.h"

namespace kv {

class CVersionCmd : public CCommand {
public:
    using CCommand::CCommand;
    int Run();
};

}  // namespace kv
