#include "link/setting_cmd.h"

#include "link/link.h"
#include "link/status_read.h"

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
    CommState state;
    app_.Settings().StoredCommState(state);
    if (!app_.User().ChooseCommState(state.baud, state.byteSize, state.stopBits, state.parity)) return 0;
    CWaiting wait(app_.User());

    CSerialComm& channel = app_.Channel();
    const uint32_t result = app_.RestoreBaudRate(state.baud, Operation::Setting, Phase::None);
    if (result == 0) {
        app_.linkReady = 0;
        channel.Purge();
        return 0;
    }
    app_.linkReady = 1;
    // Byte size, stop bits and parity are kept as stored, though the line runs 8N1.
    state.baud = result;
    app_.Settings().StoreCommState(state);

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
        SendStatusRead(app_, app_.Channel(), {.purge = true, .recover = false, .afterHandshakeMs = kSettleMs});
    if (status.answered) app_.ApplyIdCheckState(status.srd1);
}

}  // namespace kv
