#include "cli/outcome_report.h"

#include "cli/exit_codes.h"
#include "image/hex_text.h"

namespace kv::cli {

namespace {

std::string StatusText(const Outcome& o) {
    return o.hasStatus ? " (status " + ToHex2(o.srd) + " " + ToHex2(o.srd1) + ")" : "";
}

std::string RefusalText(const Outcome& o) {
    switch (o.cause) {
        case Cause::StartNotBelowEnd: return "the start address is not below the end address";
        case Cause::BeyondChip: return "the range reaches beyond FFFFFF";
        case Cause::DownloadEndTooHigh: return "the boot-loader mode takes nothing from 002A00 on";
        case Cause::DownloadTooLong: return "a download takes at most FF00 bytes";
        default: break;
    }
    std::string text = o.file;
    if (o.line) text += (text.empty() ? "line " : ": line ") + std::to_string(o.line);
    if (!o.reason.empty()) text += (text.empty() ? "" : ": ") + o.reason;
    return text.empty() ? "refused" : text;
}

std::string LostText(const Outcome& o) {
    if (!o.reason.empty()) return o.reason;
    if (o.cause == Cause::RateRefused || o.cause == Cause::RateNotEchoed) {
        std::string text = "the boot loader did not take " + std::to_string(o.rate) + " bps";
        if (o.phase == Phase::Reset9600) return "cannot set the link back to 9600 bps";
        return text;
    }
    switch (o.phase) {
        case Phase::Sync: return "no answer from the chip";
        case Phase::FirstStatus: return "no status reply from the chip";
        default: break;
    }
    switch (o.op) {
        case Operation::Unlock: return "no status reply around the ID check";
        case Operation::Version: return "the boot loader did not answer the version query";
        case Operation::Download: return "the boot loader did not answer the download";
        default: return "the link to the chip was lost";
    }
}

}  // namespace

int ExitCodeFor(const Outcome& outcome) {
    switch (outcome.kind) {
        case OutcomeKind::Ok: return kExitOk;
        case OutcomeKind::InputRefused: return outcome.file.empty() ? kExitUsage : kExitFile;
        case OutcomeKind::IdRefused: return kExitId;
        case OutcomeKind::LinkLost: return kExitLink;
        case OutcomeKind::PortUnavailable: return kExitPort;
        case OutcomeKind::Difference:
        case OutcomeKind::NotBlank: return kExitDifference;
        // A cancel is never asked for here: whatever caused it failed the command.
        case OutcomeKind::Cancelled:
        case OutcomeKind::Stopped:
        case OutcomeKind::DeviceError: return kExitDevice;
    }
    return kExitDevice;
}

std::string FailureText(const Outcome& o) {
    switch (o.kind) {
        case OutcomeKind::Ok: return "";
        case OutcomeKind::Difference:
            return "difference at " + ToHex6(o.address) + ": expected " + ToHex2(o.expected) + ", read " +
                   ToHex2(o.read);
        case OutcomeKind::NotBlank:
            return "not blank at " + ToHex6(o.address) + ": expected FF, read " + ToHex2(o.read);
        case OutcomeKind::DeviceError:
            if (o.phase == Phase::Erase) return "erase error" + StatusText(o);
            if (o.op == Operation::Download)
                return (o.cause == Cause::NotAnswered ? "the boot loader did not take the download"
                                                      : "the download was not completed") +
                       StatusText(o);
            return "program error" + StatusText(o);
        case OutcomeKind::InputRefused: return RefusalText(o);
        case OutcomeKind::IdRefused: return "the chip refused the ID; nothing was erased or written";
        case OutcomeKind::LinkLost: return LostText(o);
        case OutcomeKind::PortUnavailable: return "cannot open " + o.file;
        case OutcomeKind::Cancelled:
        case OutcomeKind::Stopped: return "did not complete";
    }
    return "";
}

Fields OutcomeFields(const Outcome& o) {
    Fields fields;
    if (o.kind == OutcomeKind::Difference || o.kind == OutcomeKind::NotBlank) {
        fields = {{"address", ToHex6(o.address)}, {"expected", ToHex2(o.expected)}, {"read", ToHex2(o.read)}};
    } else if (o.kind == OutcomeKind::DeviceError && o.hasStatus) {
        fields = {{"srd", ToHex2(o.srd)}, {"srd1", ToHex2(o.srd1)}};
    }
    return fields;
}

}  // namespace kv::cli
