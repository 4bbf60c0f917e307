#include "ops/epr_cmd.h"

#include "link/link.h"
#include "ops/erase_cmd.h"
#include "ops/range_check.h"
#include "ops/sequence_phases.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr uint32_t kRestingTimeoutMs = 5000;
using End = CSequencePhases::End;
}  // namespace

int CEPRCmd::Run() { return app_.IsLite() ? RunKelvlite() : RunKelvane(); }

int CEPRCmd::Erase() {
    CEraseCmd erase(app_);
    const int erased = erase.EraseAll();
    if (!erased) app_.Report(IDS_ERASE_ERROR, Tone::Fault);
    app_.Channel().SetTimeout(kRestingTimeoutMs);
    return erased;
}

// kelvane: the range is the image's without a dialog, and every failure ends
// the run; only a Cancel in the read-back still leads to the status check.
int CEPRCmd::RunKelvane() {
    if (!Erase()) return 0;

    uint32_t start = 0;
    uint32_t end = 0;
    DefaultImageRange(start, end);
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    CSequencePhases phases(app_, *this, start, end);
    if (phases.Program(interval, true) != End::Completed) return 0;
    const End read = phases.ReadBack(true);
    if (read != End::Completed && read != End::Cancelled) return 0;
    return phases.FinalCheck(false);
}

// kelvlite: the user confirms the range, and an erase error or a program
// error still lead to the read-back.
int CEPRCmd::RunKelvlite() {
    Erase();

    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return 0;
    uint32_t interval = 0;
    if (!CSequencePhases::ProgramInterval(app_, interval)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    CSequencePhases phases(app_, *this, start, end);
    if (!phases.ConfirmRange()) return 0;
    return phases.ProgramReadBackCheck(interval);
}

}  // namespace kv
