// Waking the boot loader: a fixed run of bytes at 9600 bps that ends in the
// 9600 bps code, which the boot loader echoes.
#include "link/link.h"

namespace kv {

void CLink::SendSyncSequence() {
    Sleep(kSettleMs);
    channel_.Purge();
    // kelvane wakes the boot loader at start-up with the same bytes as after
    // a lost reply; kelvlite's start-up run differs from its recovery's.
    if (!IsLite()) {
        WakeBootLoader();
        return;
    }
    SendFillers(1, kSettleMs);
    SendFillers(15, kBetweenFillersMs);
    Sleep(kSettleMs);
    SendByte(kCode9600);
    Sleep(kSettleMs);
}

int CLink::ExpectByte(uint8_t expected) {
    uint8_t got = 0;
    return channel_.Read(&got, 1) == 1 && got == expected ? 1 : 0;
}

int CLink::Synchronise() {
    SendSyncSequence();
    if (!ExpectByte(kCode9600)) return 0;
    return IsLite() ? ExpectByte(kSequencerReady) : 1;
}

void CLink::WakeBootLoader() {
    if (IsLite()) {
        SendByte(kCode9600);
        Sleep(kSettleMs);
        SendFillers(15, kLiteRecoveryBetweenFillersMs);
        Sleep(kSettleMs);
        return;
    }
    // "+Z": boards that need the 9600 bps code as the very first byte.
    SendByte(settings_.SyncBeginsWithB0() ? kCode9600 : uint8_t{kSyncFiller});
    Sleep(kSettleMs);
    SendFillers(16, kBetweenFillersMs);
    Sleep(kSettleMs);
    SendByte(kCode9600);
    Sleep(kSettleMs);
}

void CLink::SendByte(uint8_t b) { channel_.Write(&b, 1); }

void CLink::SendFillers(int count, uint32_t gapMs) {
    for (int i = 0; i < count; ++i) {
        SendByte(kSyncFiller);
        Sleep(gapMs);
    }
}

}  // namespace kv
