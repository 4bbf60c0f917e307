#include "ops/range_check.h"

#include "link/check_memory_cmd.h"
#include "link/link.h"

namespace kv {

Outcome AcceptRange(CLink& link, Operation op, uint32_t start, uint32_t end) {
    if (!CCheckMemorryCmd::IsBelow(start, end)) return link.Tell(Outcome::Refused(op, Cause::StartNotBelowEnd));
    if (end > kLastChipAddress) return link.Tell(Outcome::Refused(op, Cause::BeyondChip));
    return Outcome::Done(op);
}

}  // namespace kv
