#include "ops/blank_cmd.h"

#include "link/link.h"
#include "ops/page_compare.h"
#include "ops/range_check.h"

namespace kv {

Outcome CBlankCmd::Run() {
    constexpr Operation op = Operation::BlankCheck;
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return Outcome::Of(OutcomeKind::Cancelled, op, Phase::Confirm);
    if (Outcome range = AcceptRange(app_, op, start, end); !range.Ok()) return range;
    const Outcome check = ComparePages(
        *this, start, end, {"Blank check.", "Blank Check", op, Phase::Blank, OutcomeKind::NotBlank, true, BlankPage});
    return check.Ok() ? app_.Tell(check) : check;
}

Outcome CBlankCmd::RestOfImageRange(uint32_t start, uint32_t end) {
    constexpr Operation op = Operation::BlankCheck;
    const PagePick rest{&app_.Image().PresentPages(), false};
    return ComparePages(
        *this, start, end,
        {"Blank check.", "Blank Check", op, Phase::Blank, OutcomeKind::NotBlank, true, BlankPage, rest});
}

}  // namespace kv
