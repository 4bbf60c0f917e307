#include "ops/bpr_cmd.h"

#include "link/link.h"
#include "ops/range_check.h"
#include "ops/sequence_phases.h"

namespace kv {

namespace {
constexpr Operation kOp = Operation::Bpr;
}  // namespace

Outcome CBPRCmd::Run() { return app_.IsLite() ? RunKelvlite() : RunKelvane(); }

// kelvane: a Cancel in the blank check or while programming ends the run, and
// so does a lost reply; a program error stops programming silently and the
// read-back and the status check tell.
Outcome CBPRCmd::RunKelvane() {
    const Outcome declined = Outcome::Of(OutcomeKind::Cancelled, kOp, Phase::Confirm);
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return declined;
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return declined;
    if (Outcome range = AcceptRange(app_, kOp, start, end); !range.Ok()) return range;

    CSequencePhases phases(*this, kOp, start, end);
    if (Outcome blank = phases.Blank(false); !blank.Ok()) return blank;
    if (Outcome confirm = phases.ConfirmRange(); !confirm.Ok()) return confirm;

    const Outcome program = phases.Program(interval, false);
    // After a lost reply the recovery has spoken and reset the chip.
    if (!program.Ok() && program.kind != OutcomeKind::DeviceError) return program;
    const Outcome read = phases.ReadBack(false);
    if (!CompletedOrCancelled(read)) return FirstFailure(program, read);
    return FirstFailure(program, FirstFailure(read, phases.FinalCheck(program)));
}

// kelvlite: a Cancel in the blank check or while programming ends only that
// phase; after a Cancel while programming the status check is left out.
Outcome CBPRCmd::RunKelvlite() {
    uint32_t start = 0;
    uint32_t end = 0;
    const Outcome declined = Outcome::Of(OutcomeKind::Cancelled, kOp, Phase::Confirm);
    if (!FindImageRange(start, end)) return declined;
    if (Outcome range = AcceptRange(app_, kOp, start, end); !range.Ok()) return range;

    CSequencePhases phases(*this, kOp, start, end);
    const Outcome blank = phases.Blank(true);
    if (!CompletedOrCancelled(blank)) return blank;
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return FirstFailure(blank, declined);
    if (Outcome confirm = phases.ConfirmRange(); !confirm.Ok()) return FirstFailure(blank, confirm);
    return FirstFailure(blank, phases.ProgramReadBackCheck(interval));
}

}  // namespace kv
