#include "ops/read_cmd.h"

#include "link/link.h"
#include "ops/page_compare.h"
#include "ops/program_pages.h"
#include "ops/range_check.h"

namespace kv {

Outcome CReadCmd::Run() {
    constexpr Operation op = Operation::ReadCheck;
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return Outcome::Of(OutcomeKind::Cancelled, op, Phase::Confirm);
    if (Outcome range = AcceptRange(app_, op, start, end); !range.Ok()) return range;
    const CMotFile& image = app_.Image();
    const Outcome check = ComparePages(
        *this, start, end,
        {"Read check.", "Read check.", op, Phase::ReadBack, OutcomeKind::Difference, true,
         [&image](uint32_t address, uint8_t* buffer) { ImagePage(image, address, buffer); }, ImagePick(app_)});
    return check.Ok() ? app_.Tell(check) : check;
}

}  // namespace kv
