#pragma once
// The baud-rate setting: the user picks a rate in "Set baudrate", the link
// moves there, and the state that works is stored.
#include <cstdint>

#include "link/command.h"

namespace kv {

class CKelvixApp;

class CSettingCmd : public CCommand {
public:
    explicit CSettingCmd(CKelvixApp& app);
    // The baud rate in force after a successful setting, or 0.
    uint32_t Run();

private:
    void ReadIdState();

    CKelvixApp& dialogs_;
};

}  // namespace kv
