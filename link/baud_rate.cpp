// Moving the link between baud rates. The boot loader echoes each code at
// the old rate; after the second it listens at the new rate, and the port
// follows.
#include "link/link.h"

namespace kv {

namespace {
constexpr int kRoutineLost = -1;

// What a kelvlite routine that was not acknowledged leaves behind: its
// recovery has reset the link and run a setting of its own, whose rate is the
// port's when it succeeded; 0 when it failed or the program is ending.
uint32_t RateAfterRecovery(CLink& link) {
    if (link.User().Ending() || !link.linkReady) return 0;
    CSerialCommState state;
    link.Channel().GetState(state);
    return state.m_nBaudRate;
}

Outcome RateNotTaken(Operation op, Phase phase, Cause cause, uint32_t rate) {
    Outcome o = Outcome::Lost(op, phase, cause);
    o.rate = rate;
    return o;
}
}  // namespace

int CLink::SwitchBaudRate(uint32_t current, uint32_t target) {
    channel_.Purge();
    Sleep(kSettleMs);

    // A routine that is not acknowledged ends the switch at once: the
    // recovery has already set the link, and a bare code would only be
    // taken for something else.
    const uint8_t from = BaudRateCode(current);
    if (!transport_->Prepare(from)) return kRoutineLost;
    channel_.Write(&from, 1);
    if (!ExpectByte(from)) {
        channel_.Purge();
        return 0;
    }
    if (!transport_->Conclude()) return kRoutineLost;
    Sleep(kAfterBaudCodeMs);

    const uint8_t to = BaudRateCode(target);
    if (!transport_->Prepare(to)) return kRoutineLost;
    channel_.Write(&to, 1);
    if (!ExpectByte(to)) {
        channel_.Purge();
        return 0;
    }
    Sleep(kAfterBaudCodeMs);
    return 1;
}

uint32_t CLink::RestoreBaudRate(uint32_t baud, Operation op, Phase phase) {
    CSerialCommState state;
    channel_.GetState(state);
    uint32_t rate = baud;
    const int switched = SwitchBaudRate(state.m_nBaudRate, baud);
    if (switched == kRoutineLost) return RateAfterRecovery(*this);
    if (!switched) {
        Tell(RateNotTaken(op, phase, Cause::RateRefused, baud));
        channel_.GetState(state);
        rate = state.m_nBaudRate;
    }
    // The line always runs 8N1, whatever the stored state says.
    ApplyLineSettings(rate, 8, 0, 0);

    const uint8_t code = BaudRateCode(rate);
    if (!transport_->Conclude() || !transport_->Prepare(code)) return RateAfterRecovery(*this);
    channel_.Write(&code, 1);
    // One recovery for a missing echo: its own setting has ended the command,
    // and a handshake after a failed or refused recovery would ask again.
    if (!ExpectByte(code)) return RecoverLink();
    if (!transport_->Conclude()) return RateAfterRecovery(*this);
    return rate;
}

Outcome CLink::ResetTo9600() {
    CSerialCommState state;
    channel_.GetState(state);
    const int switched = SwitchBaudRate(state.m_nBaudRate, 9600);
    // After an unacknowledged routine the recovery has spoken.
    if (switched == kRoutineLost) return Outcome::Lost(Operation::Link, Phase::Reset9600);
    if (!switched) return Tell(RateNotTaken(Operation::Link, Phase::Reset9600, Cause::RateRefused, 9600));
    ApplyLineSettings(9600, 8, 0, 0);

    Outcome result = Outcome::Done(Operation::Link, Phase::Reset9600);
    if (!transport_->Conclude() || !transport_->Prepare(kCode9600))
        return Outcome::Lost(Operation::Link, Phase::Reset9600);
    const uint8_t code = kCode9600;
    channel_.Write(&code, 1);
    if (!ExpectByte(code)) result = Tell(RateNotTaken(Operation::Link, Phase::Reset9600, Cause::RateNotEchoed, 9600));
    transport_->Conclude();

    settings_.RewriteEraseVariant();
    return result;
}

}  // namespace kv
