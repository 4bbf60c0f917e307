#pragma once
// Checks that a range of the chip's flash is erased.
#include "link/check_memory_cmd.h"

namespace kv {

class CBlankCmd : public CCheckMemorryCmd {
public:
    using CCheckMemorryCmd::CCheckMemorryCmd;

    // Asks the range, reads it page by page and tells the first byte that is
    // not 0xFF, or that the range is blank.
    Outcome Run();

    // The pages of start..end that the image does not hold are blank: the
    // rest of a range whose image pages alone were programmed or compared.
    // Tells the first byte that is not 0xFF; answers as Run does.
    Outcome RestOfImageRange(uint32_t start, uint32_t end);
};

}  // namespace kv
