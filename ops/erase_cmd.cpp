#include "ops/erase_cmd.h"

#include "link/link.h"

namespace kv {

namespace {

constexpr const char* kLastOldLoader = "VER.2.03";

// The blocks of the block-by-block erase, by address bits 8-15 and 16-23.
constexpr uint8_t kBlocks[][2] = {{0xFF, 0x0F}, {0xBF, 0x0F}, {0x9F, 0x0F}, {0x7F, 0x0F}};

}  // namespace

Outcome CEraseCmd::Run() {
    const Outcome erased = app_.Tell(EraseAll());
    app_.Channel().SetTimeout(kRestingTimeoutMs);
    return erased;
}

Outcome CEraseCmd::EraseAll() {
    if (!app_.Transport().ErasesByBlock()) return EraseAllBlocks();
    const bool oldLoader = IsOldLoader(QueryVersion());
    return oldLoader && app_.Settings().EraseBlockByBlock() ? EraseBlocks() : EraseAllBlocks();
}

bool CEraseCmd::IsOldLoader(const std::string& version) {
    const std::string text = version.substr(0, version.find('\0'));
    // char_traits<char> compares as unsigned char, as the loader's bytes are.
    return text.compare(kLastOldLoader) <= 0;
}

std::string CEraseCmd::QueryVersion() {
    CSerialComm& channel = app_.Channel();
    char reply[kVersionLength];
    channel.Purge();
    const uint8_t code = kVersionRead;
    channel.Write(&code, 1);
    // No answer counts as an old boot loader; no recovery here.
    if (channel.Read(reply, sizeof reply) != static_cast<int>(sizeof reply)) return "ERROR";
    return std::string(reply, sizeof reply);
}

Outcome CEraseCmd::Verdict(StatusCheck check, const StatusReply& reply) {
    if (check == StatusCheck::Ok) return Outcome::Done(Operation::Erase, Phase::Erase);
    // A lost reply fails the erase too: the recovery has reset the chip, and
    // nothing says what was erased.
    return StatusFailure(Operation::Erase, Phase::Erase, check, reply);
}

Outcome CEraseCmd::EraseBlocks() {
    CSerialComm& channel = app_.Channel();
    const uint8_t clear = kClearStatus;
    channel.Write(&clear, 1);
    app_.Sleep(kSettleMs);
    for (const auto& block : kBlocks) {
        const uint8_t prefix = kErasePrefix;
        channel.Write(&prefix, 1);
        app_.Sleep(kSettleMs);
        const BlockEraseFrame frame = BuildBlockEraseFrame(block[0], block[1]);
        const bool written =
            channel.Write(frame.data(), static_cast<uint32_t>(frame.size())) == static_cast<int>(frame.size());
        app_.Sleep(kSettleMs);
        channel.SetTimeout(kEraseTimeoutMs);
        StatusReply reply;
        const StatusCheck status = CheckStatus(channel, "erase", &reply);
        // Every block must erase: one that did not (or whose frame did not
        // go out) fails the erase, and after a lost reply the recovery has
        // reset the chip, so a later block's clean status would say nothing.
        if (status != StatusCheck::Ok || !written) return Verdict(written ? status : StatusCheck::Error, reply);
    }
    return Outcome::Done(Operation::Erase, Phase::Erase);
}

Outcome CEraseCmd::EraseAllBlocks() {
    CSerialComm& channel = app_.Channel();
    CTransport& transport = app_.Transport();
    // kelvlite's routines are the commands; one that is not acknowledged has
    // run the recovery, and the chip's clean status after it would not mean
    // that anything was erased.
    if (!transport.ClearStatus()) return Verdict(StatusCheck::LinkLost, {});
    app_.Sleep(kSettleMs);
    if (!transport.EraseAll()) return Verdict(StatusCheck::LinkLost, {});
    app_.Sleep(kSettleMs);
    channel.SetTimeout(kEraseTimeoutMs);
    StatusReply reply;
    return Verdict(CheckStatus(channel, "erase", &reply), reply);
}

}  // namespace kv
