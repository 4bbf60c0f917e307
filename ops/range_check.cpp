#include "ops/range_check.h"

#include "app/kelvix_app.h"
#include "link/check_memory_cmd.h"
#include "res/strings.h"

namespace kv {

int AcceptRange(CKelvixApp& app, uint32_t start, uint32_t end) {
    if (!CCheckMemorryCmd::IsBelow(start, end)) {
        app.Message(IDS_TOO_SMALL_START, tk::Icon::Exclamation);
        return 0;
    }
    if (end > kLastChipAddress) {
        app.Message(IDS_ADDRESS_OUT_OF_RANGE, tk::Icon::Exclamation);
        return 0;
    }
    return 1;
}

}  // namespace kv
