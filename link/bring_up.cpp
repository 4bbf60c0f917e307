#include "link/bring_up.h"

#include <string>

#include "link/setting_cmd.h"
#include "link/status_read.h"

namespace kv {

namespace {

constexpr int kBootLoaderMode = 1;

// The chip gave no status: the user may set the communication state.
void AskForCommState(CLink& link) {
    link.linkReady = 0;
    link.Channel().Purge();
    if (link.User().SetCommStateFirst()) {
        CSettingCmd setting(link);
        setting.Run();
    } else if (!link.User().Ending()) {
        link.Tell(Outcome::Lost(Operation::Link, Phase::FirstStatus, Cause::NoStatus));
    }
}

// kelvane: a status read without recovery, then clear status.
void FirstStatusDirect(CLink& link, const CommState& state) {
    const StatusReply status = SendStatusRead(link, link.Channel(), {.purge = true, .recover = false});
    if (status.answered) {
        link.linkReady = 1;
        link.Settings().StoreCommState(state);
    } else {
        AskForCommState(link);
        if (link.User().Ending()) return;
    }
    if (status.answered) link.ApplyIdCheckState(status.srd1);
    link.Transport().ClearStatus();
    link.Sleep(kSettleMs);
}

// kelvlite: the sequencer's routine first; a missing reply runs no recovery
// (a routine that did not load has run it already), and only a reply that
// came is ended with the handshake.
void FirstStatusSequencer(CLink& link, const CommState& state) {
    CSerialComm& channel = link.Channel();
    CTransport& transport = link.Transport();
    link.Sleep(kLiteFirstStatusMs);
    channel.Purge();
    bool replied = false;
    uint8_t srd[2] = {};
    if (transport.Prepare(kStatusRead)) {
        const uint8_t read = kStatusRead;
        channel.Write(&read, 1);
        replied = channel.Read(srd, 2) == 2;
        if (replied) {
            transport.Conclude();
            if (link.User().Ending()) return;
            link.linkReady = 1;
            link.Settings().StoreCommState(state);
        } else {
            AskForCommState(link);
        }
    }
    if (link.User().Ending()) return;
    link.Sleep(kSettleMs);
    if (replied) link.ApplyIdCheckState(srd[1]);
    channel.Purge();
    transport.ClearStatus();
}

// A boot loader left at a higher rate by a run that was cut off still
// listens there, synchronised: each rate's code sent at that rate is echoed
// by a loader that runs at it. The one found is taken back to 9600 bps,
// where it stays synchronised, as after a wake-up.
bool FoundAtHigherRate(CLink& link) {
    CSerialComm& channel = link.Channel();
    for (uint32_t rate : {115200u, 57600u, 38400u, 19200u}) {
        link.ApplyLineSettings(rate, 8, 0, 0);
        channel.SetTimeout(kRateProbeTimeoutMs);
        channel.Purge();
        const uint8_t code = BaudRateCode(rate);
        channel.Write(&code, 1);
        const bool echoed = link.ExpectByte(code);
        channel.SetTimeout(kRestingTimeoutMs);
        if (!echoed) continue;
        link.User().Trace("the boot loader answered at " + std::to_string(rate) + " bps");
        if (link.ResetTo9600().Ok()) return true;
        break;
    }
    link.ApplyLineSettings(9600, 8, 0, 0);
    channel.Purge();
    return false;
}

}  // namespace

Outcome OpenLink(CLink& link, const std::string& port) {
    CSerialComm& channel = link.Channel();
    if (!channel.Open(port)) {
        Outcome o = Outcome::Of(OutcomeKind::PortUnavailable, Operation::Link);
        o.file = port;
        o.reason = channel.OpenError();
        return link.Tell(o);
    }
    link.ApplyLineSettings(9600, 8, 0, 0);
    channel.SetTimeout(kRestingTimeoutMs);
    return Outcome::Done(Operation::Link);
}

Outcome SynchroniseLink(CLink& link) {
    link.SendSyncSequence();
    // One recovery for a lost reply: after it the link has been woken and
    // set afresh, and the sequencer's ready byte is no longer to come.
    bool answered = link.ExpectByte(kCode9600) && (!link.IsLite() || link.ExpectByte(kSequencerReady));
    // kelvlite's sequencer takes its rate codes only inside routines.
    if (!answered && link.searchRatesAtWakeUp && !link.IsLite()) answered = FoundAtHigherRate(link);
    if (answered || link.RecoverLink() != 0) return Outcome::Done(Operation::Link, Phase::Sync);
    return Outcome::Lost(Operation::Link, Phase::Sync);
}

CommState RestoreStoredState(CLink& link) {
    link.Sleep(kAfterSyncMs);
    link.Channel().Purge();
    CommState state;
    if (!link.Settings().StoredCommState(state)) return CommState{};
    const uint32_t rate = link.RestoreBaudRate(state.baud, Operation::Link, Phase::RestoreRate);
    if (rate != 0) {
        state.baud = rate;
    } else {
        // The recovery ran and its setting did not succeed: whatever the port
        // runs at now is the rate in force, never 0.
        CSerialCommState port;
        link.Channel().GetState(port);
        state.baud = port.m_nBaudRate != 0 ? port.m_nBaudRate : 9600;
    }
    return state;
}

Outcome ReadFirstStatus(CLink& link, const CommState& state) {
    if (link.programMode == kBootLoaderMode) {
        link.idVerified = 1;  // the boot loader has no ID check
        link.linkReady = 1;
        link.Settings().StoreCommState(state);
    } else if (link.IsLite()) {
        FirstStatusSequencer(link, state);
    } else {
        FirstStatusDirect(link, state);
    }
    if (link.linkReady) return Outcome::Done(Operation::Link, Phase::FirstStatus);
    return Outcome::Lost(Operation::Link, Phase::FirstStatus, Cause::NoStatus);
}

Outcome BringUp(CLink& link, const std::string& port, const std::function<Outcome()>& opened) {
    if (Outcome o = OpenLink(link, port); !o.Ok()) return o;
    if (opened) {
        if (Outcome o = opened(); !o.Ok()) return o;
    }
    return BringUpOpened(link);
}

Outcome BringUpOpened(CLink& link) {
    if (Outcome o = SynchroniseLink(link); !o.Ok()) return o;
    const CommState state = RestoreStoredState(link);
    if (link.User().Ending()) return Outcome::Lost(Operation::Link, Phase::RestoreRate);
    return ReadFirstStatus(link, state);
}

bool ProbeStatus(CLink& link) {
    const StatusReply status = SendStatusRead(link, link.Channel(), {.purge = true, .afterHandshakeMs = kSettleMs});
    return status.answered && status.handshook;
}

bool ProbeBootLoader(CLink& link) {
    CSerialComm& channel = link.Channel();
    CSerialCommState state;
    channel.GetState(state);
    const uint8_t code = BaudRateCode(state.m_nBaudRate);
    channel.Purge();
    channel.Write(&code, 1);
    uint8_t echo;
    if (channel.Read(&echo, 1) != 1) {
        link.RecoverLink();
        return false;
    }
    return true;
}

bool ProbeForMode(CLink& link) {
    return link.programMode == kBootLoaderMode ? ProbeBootLoader(link) : ProbeStatus(link);
}

}  // namespace kv
