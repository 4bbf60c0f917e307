#pragma once
// The check every range operation makes before it sends anything.
#include <cstdint>

#include "link/outcome.h"

namespace kv {

class CLink;

// Pages are addressed with address bits 8-23 on the wire: nothing above this
// address can be reached, and a page beyond it would wrap to page 0.
inline constexpr uint32_t kLastChipAddress = 0xFFFFFF;

// Whether `op` may run over start..end: Ok, or InputRefused (told) for a
// start that is not below the end, or a range beyond the last chip address.
Outcome AcceptRange(CLink& link, Operation op, uint32_t start, uint32_t end);

}  // namespace kv
