#include "ops/program_cmd.h"

#include <algorithm>

#include "link/link.h"
#include "ops/program_pages.h"
#include "ops/range_check.h"

namespace kv {

Outcome CProgramCmd::Run() {
    constexpr Operation op = Operation::Program;
    const Outcome declined = Outcome::Of(OutcomeKind::Cancelled, op, Phase::Confirm);
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return declined;
    int interval = 0;
    if (!app_.User().ProgramInterval(interval)) return declined;
    if (Outcome range = AcceptRange(app_, op, start, end); !range.Ok()) return range;
    if (!app_.User().ConfirmProgram(start, end)) return app_.Tell(declined);

    const Outcome pages =
        ProgramPages(*this, op, start, end, static_cast<uint32_t>(std::max(interval, 0)), ImagePick(app_));
    // After a cancel, or a lost reply (the recovery has spoken and reset the
    // chip), the status register says nothing about the pages not sent.
    if (pages.kind != OutcomeKind::Ok && pages.kind != OutcomeKind::DeviceError) return pages;
    return FinalProgramCheck(*this, op, pages);
}

}  // namespace kv
