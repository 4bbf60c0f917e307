#include "ops/range_check.h"

#include "link/check_memory_cmd.h"
#include "link/link.h"
#include "res/strings.h"

namespace kv {

int AcceptRange(CLink& app, uint32_t start, uint32_t end) {
    if (!CCheckMemorryCmd::IsBelow(start, end)) {
        app.Report(IDS_TOO_SMALL_START, Tone::Warning);
        return 0;
    }
    if (end > kLastChipAddress) {
        app.Report(IDS_ADDRESS_OUT_OF_RANGE, Tone::Warning);
        return 0;
    }
    return 1;
}

}  // namespace kv
