#include "app/outcome_messages.h"

#include <cstdio>

#include "image/hex_text.h"
#include "res/strings.h"

namespace kv {

namespace {

using tk::Icon;

bool Programs(Operation op) { return op == Operation::Program || op == Operation::Epr || op == Operation::Bpr; }

OutcomeMessage Message(Edition edition, int id, Icon icon) { return {LoadString(edition, id), icon}; }

// kelvlite names the byte with its value; the single checks warn, the
// combined sequences do not.
OutcomeMessage NotBlankMessage(Edition edition, const Outcome& o) {
    if (edition == Edition::Kelvane) return {LoadString(edition, IDS_NOT_BLANK) + ToHex6(o.address), Icon::None};
    char text[96];
    std::snprintf(text, sizeof text, "Find Not Blank Data at Address : %06xh \n\n RomData : %03xh",
                  static_cast<unsigned>(o.address), static_cast<unsigned>(o.read));
    return {text, o.op == Operation::BlankCheck ? Icon::Exclamation : Icon::None};
}

OutcomeMessage DifferenceMessage(Edition edition, const Outcome& o) {
    if (edition == Edition::Kelvane) return {LoadString(edition, IDS_NOT_MATCH) + ToHex6(o.address), Icon::None};
    const bool single = o.op == Operation::ReadCheck;
    const auto address = static_cast<unsigned>(o.address);
    const auto expected = static_cast<unsigned>(o.expected);
    const auto read = static_cast<unsigned>(o.read);
    char text[128];
    if (single)
        std::snprintf(text, sizeof text,
                      "Find Not Match Data at Address : %06xh \n\n MotData\t: %03xh \n RomData\t: %03xh", address,
                      expected, read);
    else
        std::snprintf(text, sizeof text,
                      "Find Not Match Data at Address : %06xh \n\n MotData : %03xh \n RomData : %03xh", address,
                      expected, read);
    return {text, single ? Icon::Exclamation : Icon::None};
}

std::optional<OutcomeMessage> RateMessage(Edition edition, const Outcome& o) {
    switch (o.phase) {
        case Phase::RestoreRate: return Message(edition, IDS_CANNOT_SET_LAST_BAUD, Icon::Exclamation);
        case Phase::Reset9600:
            return Message(edition, IDS_CANNOT_SET_9600,
                           o.cause == Cause::RateNotEchoed ? Icon::Stop : Icon::Exclamation);
        default: break;
    }
    if (o.op == Operation::Setting) return Message(edition, IDS_CANNOT_SET_NEW_BAUD, Icon::Exclamation);
    return std::nullopt;
}

std::optional<OutcomeMessage> RefusalMessage(Edition edition, Cause cause) {
    switch (cause) {
        case Cause::StartNotBelowEnd: return Message(edition, IDS_TOO_SMALL_START, Icon::Exclamation);
        case Cause::BeyondChip: return Message(edition, IDS_ADDRESS_OUT_OF_RANGE, Icon::Exclamation);
        case Cause::DownloadEndTooHigh: return Message(edition, IDS_TOO_HIGH_END, Icon::Exclamation);
        case Cause::DownloadTooLong: return Message(edition, IDS_TOO_LARGE_DOWNLOAD, Icon::Exclamation);
        default: return std::nullopt;
    }
}

}  // namespace

std::optional<OutcomeMessage> MessageFor(Edition edition, const Outcome& o) {
    const bool lite = edition == Edition::Kelvlite;
    switch (o.kind) {
        case OutcomeKind::Ok:
            if (o.op == Operation::Erase) return Message(edition, IDS_ERASE_OK, Icon::Information);
            if (Programs(o.op) && o.phase == Phase::Final) return Message(edition, IDS_PROGRAM_OK, Icon::Information);
            if (o.op == Operation::BlankCheck && lite) return Message(edition, IDS_BLANK_CHECK_OK, Icon::Information);
            if (o.op == Operation::ReadCheck && lite) return Message(edition, IDS_READ_CHECK_OK, Icon::Information);
            if (o.op == Operation::Download && o.phase == Phase::Final)
                return Message(edition, IDS_DOWNLOAD_COMPLETED, Icon::None);
            return std::nullopt;
        case OutcomeKind::Cancelled:
        case OutcomeKind::Stopped: {
            // A declined confirmation says so plainly; a stop in the pages informs.
            const Icon icon = o.phase == Phase::Confirm ? Icon::None : Icon::Information;
            if (Programs(o.op) && (o.phase == Phase::Confirm || o.phase == Phase::Program))
                return Message(edition, IDS_STOP_PROGRAMMING, icon);
            if (o.op == Operation::Download && (o.phase == Phase::Confirm || o.phase == Phase::Transfer))
                return Message(edition, IDS_STOP_DOWNLOADING, icon);
            return std::nullopt;
        }
        case OutcomeKind::InputRefused: return RefusalMessage(edition, o.cause);
        case OutcomeKind::NotBlank: return NotBlankMessage(edition, o);
        case OutcomeKind::Difference: return DifferenceMessage(edition, o);
        case OutcomeKind::DeviceError:
            if (o.phase == Phase::Erase) return Message(edition, IDS_ERASE_ERROR, Icon::Stop);
            if (o.op == Operation::Download) return Message(edition, IDS_DOWNLOAD_NOT_COMPLETED, Icon::Exclamation);
            if (Programs(o.op)) return Message(edition, IDS_PROGRAM_ERROR, Icon::Stop);
            return std::nullopt;
        case OutcomeKind::LinkLost:
            // The recovery has told the user; what is left are the rates the
            // boot loader did not take, an erase that cannot vouch for
            // itself, a download without its answer, and a chip that never
            // gave its status.
            if (o.cause == Cause::RateRefused || o.cause == Cause::RateNotEchoed) return RateMessage(edition, o);
            if (o.phase == Phase::Erase) return Message(edition, IDS_ERASE_ERROR, Icon::Stop);
            if (o.op == Operation::Download && o.phase == Phase::Final)
                return Message(edition, IDS_DOWNLOAD_NOT_COMPLETED, Icon::Exclamation);
            if (o.cause == Cause::NoStatus) return Message(edition, IDS_CANNOT_COMMUNICATE_OUTSIDE, Icon::Stop);
            return std::nullopt;
        case OutcomeKind::PortUnavailable: {
            // Nothing could reach the board: telling the user why beats a
            // "Push RESET." that no reset can answer.
            const std::string why = o.reason.empty() ? "The port is missing, in use or refused." : o.reason;
            return OutcomeMessage{"Can not open the port " + o.file + ".\n" + why, Icon::Stop};
        }
        case OutcomeKind::IdRefused: return Message(edition, IDS_NOT_MATCH_ID, Icon::Exclamation);
    }
    return std::nullopt;
}

}  // namespace kv
