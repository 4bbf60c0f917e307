#pragma once
// The check every range operation makes before it sends anything.
#include <cstdint>

namespace kv {

class CLink;

// Pages are addressed with address bits 8-23 on the wire: nothing above this
// address can be reached, and a page beyond it would wrap to page 0.
inline constexpr uint32_t kLastChipAddress = 0xFFFFFF;

// Whether an operation may run over start..end. A start that is not below the
// end shows "Too small start address."; a range that reaches beyond the last
// chip address shows the out-of-range message (both with the exclamation
// icon). Answers 1 when the range is good, else 0.
int AcceptRange(CLink& app, uint32_t start, uint32_t end);

}  // namespace kv
