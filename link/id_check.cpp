#include "link/id_check.h"

#include "image/hex_digit.h"
#include "image/page_scan.h"
#include "link/status_read.h"

namespace kv {

namespace {

// The status reads around the ID check drop stale input first: a stray byte
// must not be taken for the ID state.
bool ReadStatus(CLink& link, StatusReply& status) {
    status = SendStatusRead(link, link.Channel(), {.purge = true});
    return status.answered && status.handshook;
}

}  // namespace

IdBytes IdBytesOf(const std::array<std::string, 7>& texts) {
    IdBytes bytes{};
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string& text = texts[i];
        const int hi = text.size() >= 2 ? HexDigit(text[0]) : -1;
        const int lo = text.size() >= 2 ? HexDigit(text[1]) : -1;
        bytes[i] = hi < 0 || lo < 0 ? 0xFF : static_cast<uint8_t>(hi << 4 | lo);
    }
    return bytes;
}

bool SendIdCheck(CLink& link, const IdFrame& frame) {
    if (!link.Transport().Prepare(kIdCheck)) return false;
    link.Channel().Write(frame.data(), static_cast<uint32_t>(frame.size()));
    return link.Transport().FrameTaken(kSettleMs);
}

Outcome ReadIdState(CLink& link, IdState& state) {
    if (link.IsLite()) link.Sleep(kSettleMs);
    StatusReply status;
    if (!ReadStatus(link, status)) return Outcome::Lost(Operation::Unlock);
    state = IdStateOf(status.srd1);
    return Outcome::Done(Operation::Unlock);
}

Outcome CheckId(CLink& link, const IdFrame& frame) {
    if (!SendIdCheck(link, frame)) return Outcome::Lost(Operation::Unlock);
    StatusReply status;
    if (!ReadStatus(link, status)) return Outcome::Lost(Operation::Unlock);
    if (IdStateOf(status.srd1) == IdState::Verified) {
        link.idVerified = 1;
        return Outcome::Done(Operation::Unlock);
    }
    link.Channel().Purge();
    link.idVerified = 0;
    return Outcome::Of(OutcomeKind::IdRefused, Operation::Unlock);
}

int McuTypeOf(const CMotFile& image) {
    // The range as the image scan finds it; an image without data counts as
    // the internal flash area.
    uint32_t start = 0;
    uint32_t end = 0x0FFFFF;
    FindDataPages(image, CMotFile::kAddressSpace, start, end);
    end |= 0xFF;
    if (end == 0xFFFFFF) return kVireoH;
    if (end == 0x00FFFF) return kWren;
    return kVireoM;
}

int McuTypeOfImage(CLink& link) { return McuTypeOf(link.Image()); }

}  // namespace kv
