#include "link/setting_cmd.h"

#include "image/save_ini.h"
#include "link/link.h"
#include "link/status_read.h"
#include "res/strings.h"

namespace kv {

namespace {

// The user waits for as long as the object lives.
class CWaiting {
public:
    explicit CWaiting(CLinkUser& user) : user_(user) { user_.Waiting(true); }
    ~CWaiting() { user_.Waiting(false); }
    CWaiting(const CWaiting&) = delete;
    CWaiting& operator=(const CWaiting&) = delete;

private:
    CLinkUser& user_;
};

}  // namespace

uint32_t CSettingCmd::Run() {
    uint32_t baud = 9600;
    uint8_t byteSize = 8;
    uint8_t stopBits = 0;
    uint8_t parity = 0;
    CSaveIni ini(app_);
    if (ini.ReadCommState()) ini.GetCommState(baud, byteSize, stopBits, parity);

    if (!app_.User().ChooseCommState(baud, byteSize, stopBits, parity)) return 0;
    CWaiting wait(app_.User());

    CSerialComm& channel = app_.Channel();
    const uint32_t result = app_.RestoreBaudRate(baud, byteSize, stopBits, parity, IDS_CANNOT_SET_NEW_BAUD);
    if (result == 0) {
        app_.linkReady = 0;
        channel.Purge();
        return 0;
    }
    app_.linkReady = 1;
    // Byte size, stop bits and parity are kept as stored, though the line runs 8N1.
    ini.SetCommState(result, byteSize, stopBits, parity);
    ini.WriteCommState();

    if (app_.programMode != 0)
        app_.idVerified = 1;  // the boot loader mode has no ID check
    else
        ReadIdState();
    return result;
}

// A status read that only looks at the ID check state. A missing reply keeps
// the flag and runs no recovery: the setting itself has just succeeded.
void CSettingCmd::ReadIdState() {
    const StatusReply status =
        SendStatusRead(app_, app_.Channel(), {.purge = true, .recover = false, .afterHandshakeMs = 50});
    if (status.answered) app_.ApplyIdCheckState(status.srd1);
}

}  // namespace kv
