#pragma once
// What an operation or a step of the link came to, in its own terms. The
// link and the operations tell each outcome to their user as it happens and
// answer the one that decides; the dialog programs turn outcomes into their
// messages, kelvane-cli into exit codes, result lines and JSON.
#include <cstdint>
#include <string>

namespace kv {

enum class OutcomeKind {
    Ok,
    Cancelled,        // the user cancelled or declined
    Stopped,          // a stop signal ended it after the exchange in hand
    InputRefused,     // a range, a file or an argument that cannot be used; nothing was sent for it
    IdRefused,        // the chip did not take the ID
    LinkLost,         // no reply, a wrong one, or a rate the boot loader did not take
    PortUnavailable,  // the port could not be opened
    DeviceError,      // the chip reported an erase, program or download error
    Difference,       // a byte read back differs from the image
    NotBlank,         // a byte that should be erased is not
};

// The operation an outcome belongs to.
enum class Operation {
    Link,     // the bring-up, the return to 9600 bps, the probes
    Setting,  // the baud-rate setting
    Unlock,   // the ID check
    Erase,
    Program,
    BlankCheck,
    ReadCheck,
    Epr,  // erase, program, read back
    Bpr,  // blank check, program, read back
    Download,
    Status,
    Version,
    Read,  // kelvane-cli's read into a file
};

// Where in the operation it arose.
enum class Phase {
    None,
    Confirm,      // the last question before the work
    Sync,         // the start-up synchronisation
    RestoreRate,  // the stored rate brought back at start-up
    FirstStatus,  // the first status read after the synchronisation
    Reset9600,    // the link taken back to 9600 bps
    Erase,
    Blank,
    Program,
    ReadBack,
    Transfer,  // the download's data
    Final,     // the closing status check
};

// Why, where the kind alone does not say.
enum class Cause {
    None,
    StartNotBelowEnd,    // a range whose start is not below its end
    BeyondChip,          // a range beyond the last chip address
    DownloadEndTooHigh,  // the boot-loader mode takes nothing from 0x2A00 on
    DownloadTooLong,     // more than the length field can announce
    RateRefused,         // the boot loader did not echo a baud-rate code at the old rate
    RateNotEchoed,       // nor the code at the new rate
    NoStatus,            // the chip gave no status, and no setting brought it back
    ReplyLength,         // a reply with too few or too many bytes
    NotAnswered,         // an answer that is not the success answer
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::Ok;
    Operation op = Operation::Link;
    Phase phase = Phase::None;
    Cause cause = Cause::None;
    // Difference, NotBlank: the first byte that failed.
    uint32_t address = 0;
    uint8_t expected = 0xFF;
    uint8_t read = 0;
    // DeviceError: the status bytes that told, when a status was read.
    bool hasStatus = false;
    uint8_t srd = 0;
    uint8_t srd1 = 0;
    // InputRefused for a file: which and where; PortUnavailable: the port.
    std::string file;
    unsigned line = 0;
    // Why, in a few words for the user (the system's reason for a port).
    std::string reason;
    // Rates: the one asked for.
    uint32_t rate = 0;
    // Version: the boot loader's text.
    std::string text;

    bool Ok() const { return kind == OutcomeKind::Ok; }

    static Outcome Of(OutcomeKind kind, Operation op, Phase phase = Phase::None, Cause cause = Cause::None) {
        Outcome o;
        o.kind = kind;
        o.op = op;
        o.phase = phase;
        o.cause = cause;
        return o;
    }
    static Outcome Done(Operation op, Phase phase = Phase::None) { return Of(OutcomeKind::Ok, op, phase); }
    static Outcome Lost(Operation op, Phase phase = Phase::None, Cause cause = Cause::None) {
        return Of(OutcomeKind::LinkLost, op, phase, cause);
    }
    static Outcome Refused(Operation op, Cause cause) { return Of(OutcomeKind::InputRefused, op, Phase::None, cause); }
    static Outcome ByteAt(OutcomeKind kind, Operation op, Phase phase, uint32_t address, uint8_t expected,
                          uint8_t read) {
        Outcome o = Of(kind, op, phase);
        o.address = address;
        o.expected = expected;
        o.read = read;
        return o;
    }
};

// The first outcome that is not Ok decides a sequence of steps.
inline Outcome FirstFailure(const Outcome& first, const Outcome& later) { return first.Ok() ? later : first; }

}  // namespace kv
