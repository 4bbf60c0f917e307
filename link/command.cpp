#include "link/command.h"

#include "image/hex_digit.h"
#include "link/link.h"

namespace kv {

StatusCheck CCommand::CheckStatus(CSerialComm& channel, std::string_view kind, StatusReply* reply) {
    const int bit = kind == "erase" ? kSrdEraseErrorBit : kind == "program" ? kSrdProgramErrorBit : 0;
    const StatusReply status = SendStatusRead(app_, channel, {.purge = true});
    if (reply) *reply = status;
    if (!status.answered || !status.handshook) return StatusCheck::LinkLost;
    if (!(status.srd & kSrdReady) || ((status.srd >> bit) & 1)) return StatusCheck::Error;
    return StatusCheck::Ok;
}

int CCommand::CheckStatusError(CSerialComm& channel, std::string_view kind) {
    return CheckStatus(channel, kind) == StatusCheck::Ok ? 0 : 1;
}

uint32_t CCommand::HexDigitValue(char ch) {
    const int value = HexDigit(ch);
    return value < 0 ? 0 : static_cast<uint32_t>(value);
}

Outcome StatusFailure(Operation op, Phase phase, StatusCheck check, const StatusReply& reply) {
    if (check == StatusCheck::LinkLost) return Outcome::Lost(op, phase);
    Outcome o = Outcome::Of(OutcomeKind::DeviceError, op, phase);
    o.hasStatus = reply.answered;
    o.srd = reply.srd;
    o.srd1 = reply.srd1;
    return o;
}

}  // namespace kv
