#include "ops/erase_cmd.h"


#include "link/link.h"
#include "image/save_ini.h"
#include "res/strings.h"

namespace kv {

namespace {

constexpr uint32_t kAfterCommandMs = 50;  // commands without a reply need this long
constexpr uint32_t kEraseTimeoutMs = 40000;
constexpr uint32_t kRestingTimeoutMs = 5000;
constexpr const char* kLastOldLoader = "VER.2.03";
constexpr const char* kBlockByBlockMode = "+a";

// The blocks of the block-by-block erase, by address bits 8-15 and 16-23.
constexpr uint8_t kBlocks[][2] = {{0xFF, 0x0F}, {0xBF, 0x0F}, {0x9F, 0x0F}, {0x7F, 0x0F}};

}  // namespace

int CEraseCmd::Run() {
    const int ok = EraseAll();
    if (ok)
        app_.Report(IDS_ERASE_OK, Tone::Information);
    else
        app_.Report(IDS_ERASE_ERROR, Tone::Fault);
    app_.Channel().SetTimeout(kRestingTimeoutMs);
    return ok;
}

int CEraseCmd::EraseAll() {
    if (app_.IsLite()) return EraseWithRoutines();
    const bool oldLoader = IsOldLoader(QueryVersion());
    const std::string eraseMode = CSaveIni(app_).ReadDefaultType();
    return oldLoader && eraseMode == kBlockByBlockMode ? EraseBlocks() : EraseAllBlocks();
}

bool CEraseCmd::IsOldLoader(const std::string& version) {
    const std::string text = version.substr(0, version.find('\0'));
    // char_traits<char> compares as unsigned char, as the loader's bytes are.
    return text.compare(kLastOldLoader) <= 0;
}

std::string CEraseCmd::QueryVersion() {
    CSerialComm& channel = app_.Channel();
    char reply[8];
    channel.Purge();
    WriteByte(kVersionRead);
    // No answer counts as an old boot loader; no recovery here.
    if (channel.Read(reply, sizeof reply) != static_cast<int>(sizeof reply)) return "ERROR";
    return std::string(reply, sizeof reply);
}

void CEraseCmd::WriteByte(uint8_t code) { app_.Channel().Write(&code, 1); }

int CEraseCmd::EraseBlocks() {
    CSerialComm& channel = app_.Channel();
    WriteByte(kClearStatus);
    app_.Sleep(kAfterCommandMs);
    bool anyGood = false;
    bool lastWritten = false;
    for (const auto& block : kBlocks) {
        WriteByte(kErasePrefix);
        app_.Sleep(kAfterCommandMs);
        const uint8_t frame[4] = {kBlockErase, block[0], block[1], kEraseConfirm};
        lastWritten = channel.Write(frame, sizeof frame) == static_cast<int>(sizeof frame);
        app_.Sleep(kAfterCommandMs);
        channel.SetTimeout(kEraseTimeoutMs);
        const StatusCheck status = CheckStatus(channel, "erase");
        // The recovery has reset the chip: a later block's clean status
        // would not show that anything was erased.
        if (status == StatusCheck::LinkLost) return 0;
        if (status == StatusCheck::Ok) anyGood = true;
    }
    // One good block is enough; the last frame must have gone out.
    return anyGood && lastWritten ? 1 : 0;
}

int CEraseCmd::EraseAllBlocks() {
    CSerialComm& channel = app_.Channel();
    WriteByte(kClearStatus);
    app_.Sleep(kAfterCommandMs);
    WriteByte(kErasePrefix);
    app_.Sleep(kAfterCommandMs);
    const uint8_t frame[2] = {kEraseAll, kEraseConfirm};
    channel.Write(frame, sizeof frame);
    app_.Sleep(kAfterCommandMs);
    channel.SetTimeout(kEraseTimeoutMs);
    return CheckStatusError(channel, "erase") ? 0 : 1;
}

// kelvlite: the routine transfers are the commands themselves. One that is
// not acknowledged has run the recovery, and the chip's clean status after
// it would not mean that anything was erased.
int CEraseCmd::EraseWithRoutines() {
    if (!app_.LoadRoutine(kClearStatus)) return 0;
    app_.Sleep(kAfterCommandMs);
    if (!app_.LoadRoutine(kEraseAll)) return 0;
    app_.Sleep(kAfterCommandMs);
    app_.Channel().SetTimeout(kEraseTimeoutMs);
    return CheckStatusError(app_.Channel(), "erase") ? 0 : 1;
}

}  // namespace kv
