// Waking the boot loader: a fixed run of bytes at 9600 bps that ends in the
// 9600 bps code, which the boot loader echoes.
#include "app/kelvix_app.h"
#include "image/save_ini.h"

namespace kv {

namespace {
constexpr uint8_t kFiller = 0x00;
constexpr uint8_t kCode9600 = 0xB0;
constexpr uint8_t kSequencerReady = 0x11;
constexpr uint32_t kSettleMs = 50;
constexpr uint32_t kBetweenFillersMs = 20;
constexpr uint32_t kRecoveryBetweenFillersMs = 15;  // kelvlite's recovery
}  // namespace

void CKelvixApp::SendSyncSequence() {
    auto put = [this](uint8_t b) { channel_.Write(&b, 1); };
    Sleep(kSettleMs);
    channel_.Purge();
    if (IsLite()) {
        put(kFiller);
        Sleep(kSettleMs);
        for (int i = 0; i < 15; ++i) {
            put(kFiller);
            Sleep(kBetweenFillersMs);
        }
    } else {
        // "+Z": boards that need the 9600 bps code as the very first byte.
        put(CSaveIni(*this).ReadFirstData() == "+Z" ? kCode9600 : kFiller);
        Sleep(kSettleMs);
        for (int i = 0; i < 16; ++i) {
            put(kFiller);
            Sleep(kBetweenFillersMs);
        }
    }
    Sleep(kSettleMs);
    put(kCode9600);
    Sleep(kSettleMs);
}

int CKelvixApp::ExpectByte(uint8_t expected) {
    uint8_t got = 0;
    return channel_.Read(&got, 1) == 1 && got == expected ? 1 : 0;
}

int CKelvixApp::Synchronise() {
    SendSyncSequence();
    if (!ExpectByte(kCode9600)) return 0;
    return IsLite() ? ExpectByte(kSequencerReady) : 1;
}

void CKelvixApp::WakeBootLoader() {
    auto put = [this](uint8_t b) { channel_.Write(&b, 1); };
    if (IsLite()) {
        put(kCode9600);
        Sleep(kSettleMs);
        for (int i = 0; i < 15; ++i) {
            put(kFiller);
            Sleep(kRecoveryBetweenFillersMs);
        }
        Sleep(kSettleMs);
        return;
    }
    put(CSaveIni(*this).ReadFirstData() == "+Z" ? kCode9600 : kFiller);
    Sleep(kSettleMs);
    for (int i = 0; i < 16; ++i) {
        put(kFiller);
        Sleep(kBetweenFillersMs);
    }
    Sleep(kSettleMs);
    put(kCode9600);
    Sleep(kSettleMs);
}

}  // namespace kv
