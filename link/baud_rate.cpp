// Moving the link between baud rates. The boot loader echoes each code at
// the old rate; after the second it listens at the new rate, and the port
// follows.
#include "link/link.h"
#include "image/save_ini.h"
#include "link/command.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr uint32_t kSettleMs = 50;
constexpr uint32_t kAfterCodeMs = 1000;
constexpr int kRoutineLost = -1;

// What a kelvlite routine that was not acknowledged leaves behind: its
// recovery has reset the link and run a setting of its own, whose rate is the
// port's when it succeeded; 0 when it failed or the program is ending.
uint32_t RateAfterRecovery(CLink& app) {
    if (app.User().Ending() || !app.linkReady) return 0;
    CSerialCommState state;
    app.Channel().GetState(state);
    return state.m_nBaudRate;
}
}  // namespace

int CLink::SwitchBaudRate(uint32_t current, uint32_t target) {
    channel_.Purge();
    Sleep(kSettleMs);

    // A routine that is not acknowledged ends the switch at once: the
    // recovery has already set the link, and a bare code would only be
    // taken for something else.
    const uint8_t from = BaudRateCode(current);
    if (IsLite() && !LoadRoutine(from)) return kRoutineLost;
    channel_.Write(&from, 1);
    if (!ExpectByte(from)) {
        channel_.Purge();
        return 0;
    }
    if (IsLite() && !LoadRoutine(kHandshake)) return kRoutineLost;
    Sleep(kAfterCodeMs);

    const uint8_t to = BaudRateCode(target);
    if (IsLite() && !LoadRoutine(to)) return kRoutineLost;
    channel_.Write(&to, 1);
    if (!ExpectByte(to)) {
        channel_.Purge();
        return 0;
    }
    Sleep(kAfterCodeMs);
    return 1;
}

uint32_t CLink::RestoreBaudRate(uint32_t baud, uint8_t /*byteSize*/, uint8_t /*stopBits*/,
                                     uint8_t /*parity*/, int messageId) {
    CSerialCommState state;
    channel_.GetState(state);
    uint32_t rate = baud;
    const int switched = SwitchBaudRate(state.m_nBaudRate, baud);
    if (switched == kRoutineLost) return RateAfterRecovery(*this);
    if (!switched) {
        Report(messageId, Tone::Warning);
        channel_.GetState(state);
        rate = state.m_nBaudRate;
    }
    // The line always runs 8N1, whatever the stored state says.
    ApplyLineSettings(rate, 8, 0, 0);

    const uint8_t code = BaudRateCode(rate);
    if (IsLite() && (!LoadRoutine(kHandshake) || !LoadRoutine(code))) return RateAfterRecovery(*this);
    channel_.Write(&code, 1);
    // One recovery for a missing echo: its own setting has ended the command,
    // and a handshake after a failed or refused recovery would ask again.
    if (!ExpectByte(code)) return RecoverLink();
    if (IsLite() && !LoadRoutine(kHandshake)) return RateAfterRecovery(*this);
    return rate;
}

void CLink::ResetTo9600() {
    CSerialCommState state;
    channel_.GetState(state);
    const int switched = SwitchBaudRate(state.m_nBaudRate, 9600);
    if (switched == kRoutineLost) return;  // the recovery has spoken
    if (!switched) {
        Report(IDS_CANNOT_SET_9600, Tone::Warning);
        return;
    }
    ApplyLineSettings(9600, 8, 0, 0);

    const uint8_t code = BaudRateCode(9600);
    if (IsLite() && (!LoadRoutine(kHandshake) || !LoadRoutine(code))) return;
    channel_.Write(&code, 1);
    if (!ExpectByte(code)) Report(IDS_CANNOT_SET_9600, Tone::Fault);
    if (IsLite()) LoadRoutine(kHandshake);

    CSaveIni ini(*this);
    ini.ReadDefaultType();
    ini.WriteDefaultType();
}

}  // namespace kv
