#include "link/command.h"

#include "link/link.h"
#include "link/status_read.h"

namespace kv {

namespace {
constexpr uint8_t kSrdReady = 0x80;
}  // namespace

StatusCheck CCommand::CheckStatus(CSerialComm& channel, std::string_view kind) {
    const int bit = kind == "erase" ? 5 : kind == "program" ? 4 : 0;
    const StatusReply status = SendStatusRead(app_, channel, {.purge = true});
    if (!status.answered || !status.handshook) return StatusCheck::LinkLost;
    if (!(status.srd & kSrdReady) || ((status.srd >> bit) & 1)) return StatusCheck::Error;
    return StatusCheck::Ok;
}

int CCommand::CheckStatusError(CSerialComm& channel, std::string_view kind) {
    return CheckStatus(channel, kind) == StatusCheck::Ok ? 0 : 1;
}

uint32_t CCommand::HexDigitValue(char ch) {
    if (ch >= '0' && ch <= '9') return static_cast<uint32_t>(ch - '0');
    if (ch >= 'a' && ch <= 'f') return static_cast<uint32_t>(ch - 'a' + 10);
    if (ch >= 'A' && ch <= 'F') return static_cast<uint32_t>(ch - 'A' + 10);
    return 0;
}

}  // namespace kv
