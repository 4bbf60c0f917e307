// After a lost reply: the user resets the board, the link goes back to
// 9600 bps, the boot loader is woken again and the user picks the rate anew.
#include "link/link.h"
#include "image/save_ini.h"
#include "link/command.h"
#include "link/setting_cmd.h"

namespace kv {

namespace {
constexpr uint32_t kSettleMs = 50;
}  // namespace

uint32_t CLink::RecoverLink() {
    channel_.Purge();
    if (!user_.RetryLostLink(channel_.TimedOut())) return 0;

    linkReady = 0;
    idVerified = 0;
    CSaveIni ini(*this);
    ini.SetCommState(9600, 8, 0, 0);
    ini.WriteCommState();
    ApplyLineSettings(9600, 8, 0, 0);

    WakeBootLoader();

    if (IsLite() || programMode == 0) {
        // An ID check with an all-zero ID puts the chip's ID state back to
        // "not verified"; its result is not read.
        const uint8_t zeroId[12] = {kIdCheck, 0x00, 0x00, 0x00, 0x07};
        channel_.Write(zeroId, sizeof zeroId);
        Sleep(kSettleMs);
        idVerified = 0;
    }

    CSettingCmd setting(*this);
    return setting.Run();
}

}  // namespace kv
