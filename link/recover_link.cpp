// After a lost reply: the user resets the board, the link goes back to
// 9600 bps, the boot loader is woken again and the user picks the rate anew.
#include "link/link.h"
#include "link/setting_cmd.h"

namespace kv {

uint32_t CLink::RecoverLink() {
    channel_.Purge();
    if (!user_.RetryLostLink(channel_.TimedOut())) return 0;

    linkReady = 0;
    idVerified = 0;
    settings_.StoreCommState(CommState{9600, 8, 0, 0});
    ApplyLineSettings(9600, 8, 0, 0);

    WakeBootLoader();

    if (IsLite() || programMode == 0) {
        // An ID check with an all-zero ID puts the chip's ID state back to
        // "not verified"; its result is not read.
        channel_.Write(kZeroIdFrame.data(), static_cast<uint32_t>(kZeroIdFrame.size()));
        Sleep(kSettleMs);
        idVerified = 0;
    }

    CSettingCmd setting(*this);
    return setting.Run();
}

}  // namespace kv
