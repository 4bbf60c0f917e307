#pragma once
// The baud-rate setting: the user picks a rate ("Set baudrate" in the dialog
// programs), the link moves there, and the state that works is stored.
#include <cstdint>

#include "link/command.h"

namespace kv {

class CSettingCmd : public CCommand {
public:
    using CCommand::CCommand;
    // The baud rate in force after a successful setting, or 0.
    uint32_t Run();

private:
    void ReadIdState();
};

}  // namespace kv
