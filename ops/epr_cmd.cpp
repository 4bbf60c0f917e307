#include "ops/epr_cmd.h"

#include "link/link.h"
#include "ops/erase_cmd.h"
#include "ops/range_check.h"
#include "ops/sequence_phases.h"

namespace kv {

namespace {
constexpr Operation kOp = Operation::Epr;
}  // namespace

Outcome CEPRCmd::Run() { return app_.IsLite() ? RunKelvlite() : RunKelvane(); }

Outcome CEPRCmd::Erase() {
    CEraseCmd erase(app_);
    Outcome erased = erase.EraseAll();
    erased.op = kOp;
    if (!erased.Ok()) app_.Tell(erased);
    app_.Channel().SetTimeout(kRestingTimeoutMs);
    return erased;
}

// kelvane: the range is the image's without a dialog, and every failure ends
// the run; only a Cancel in the read-back still leads to the status check.
Outcome CEPRCmd::RunKelvane() {
    if (Outcome erased = Erase(); !erased.Ok()) return erased;

    uint32_t start = 0;
    uint32_t end = 0;
    DefaultImageRange(start, end);
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return Outcome::Of(OutcomeKind::Cancelled, kOp);
    if (Outcome range = AcceptRange(app_, kOp, start, end); !range.Ok()) return range;

    CSequencePhases phases(*this, kOp, start, end);
    if (Outcome program = phases.Program(interval, true); !program.Ok()) return program;
    const Outcome read = phases.ReadBack(true);
    if (!CompletedOrCancelled(read)) return read;
    return FirstFailure(read, phases.FinalCheck(Outcome::Done(kOp)));
}

// kelvlite: the user confirms the range, and an erase error or a program
// error still lead to the read-back.
Outcome CEPRCmd::RunKelvlite() {
    const Outcome erased = Erase();

    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return FirstFailure(erased, Outcome::Of(OutcomeKind::Cancelled, kOp));
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval))
        return FirstFailure(erased, Outcome::Of(OutcomeKind::Cancelled, kOp));
    if (Outcome range = AcceptRange(app_, kOp, start, end); !range.Ok()) return FirstFailure(erased, range);

    CSequencePhases phases(*this, kOp, start, end);
    if (Outcome confirm = phases.ConfirmRange(); !confirm.Ok()) return FirstFailure(erased, confirm);
    return FirstFailure(erased, phases.ProgramReadBackCheck(interval));
}

}  // namespace kv
