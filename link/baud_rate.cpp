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
}  // namespace

int CLink::SwitchBaudRate(uint32_t current, uint32_t target) {
    channel_.Purge();
    Sleep(kSettleMs);

    const uint8_t from = BaudRateCode(current);
    if (IsLite()) LoadRoutine(from);
    channel_.Write(&from, 1);
    if (!ExpectByte(from)) {
        channel_.Purge();
        return 0;
    }
    if (IsLite()) LoadRoutine(kHandshake);
    Sleep(kAfterCodeMs);

    const uint8_t to = BaudRateCode(target);
    if (IsLite()) LoadRoutine(to);
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
    if (!SwitchBaudRate(state.m_nBaudRate, baud)) {
        Report(messageId, Tone::Warning);
        channel_.GetState(state);
        rate = state.m_nBaudRate;
    }
    // The line always runs 8N1, whatever the stored state says.
    ApplyLineSettings(rate, 8, 0, 0);

    const uint8_t code = BaudRateCode(rate);
    if (IsLite()) {
        LoadRoutine(kHandshake);
        LoadRoutine(code);
    }
    channel_.Write(&code, 1);
    const uint32_t result = ExpectByte(code) ? rate : RecoverLink();
    if (IsLite()) LoadRoutine(kHandshake);
    return result;
}

void CLink::ResetTo9600() {
    CSerialCommState state;
    channel_.GetState(state);
    if (!SwitchBaudRate(state.m_nBaudRate, 9600)) {
        Report(IDS_CANNOT_SET_9600, Tone::Warning);
        return;
    }
    ApplyLineSettings(9600, 8, 0, 0);

    const uint8_t code = BaudRateCode(9600);
    if (IsLite()) {
        LoadRoutine(kHandshake);
        LoadRoutine(code);
    }
    channel_.Write(&code, 1);
    if (!ExpectByte(code)) Report(IDS_CANNOT_SET_9600, Tone::Fault);
    if (IsLite()) LoadRoutine(kHandshake);

    CSaveIni ini(*this);
    ini.ReadDefaultType();
    ini.WriteDefaultType();
}

}  // namespace kv
