#include "ops/bpr_cmd.h"

#include "link/link.h"
#include "ops/range_check.h"
#include "ops/sequence_phases.h"

namespace kv {

namespace {
using End = CSequencePhases::End;
}  // namespace

int CBPRCmd::Run() { return app_.IsLite() ? RunKelvlite() : RunKelvane(); }

// kelvane: a Cancel in the blank check or while programming ends the run, and
// so does a lost reply; a program error stops programming silently and the
// read-back and the status check tell.
int CBPRCmd::RunKelvane() {
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return 0;
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    CSequencePhases phases(app_, *this, start, end);
    if (phases.Blank(false) != End::Completed) return 0;
    if (!phases.ConfirmRange()) return 0;

    const End program = phases.Program(interval, false);
    // After a lost reply the recovery has spoken and reset the chip.
    if (program == End::Cancelled || program == End::NoWindow || program == End::LinkLost) return 0;
    const int result = program == End::Completed ? 1 : 0;

    const End read = phases.ReadBack(false);
    if (read == End::Failed) return result;
    if (read != End::Completed && read != End::Cancelled) return 0;
    return phases.FinalCheck(program == End::Failed);
}

// kelvlite: a Cancel in the blank check or while programming ends only that
// phase; after a Cancel while programming the status check is left out.
int CBPRCmd::RunKelvlite() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    CSequencePhases phases(app_, *this, start, end);
    const End blank = phases.Blank(true);
    if (blank != End::Completed && blank != End::Cancelled) return 0;
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return 0;
    if (!phases.ConfirmRange()) return 0;
    return phases.ProgramReadBackCheck(interval);
}

}  // namespace kv
