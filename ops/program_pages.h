#pragma once
// The program page loop that the program operation and the combined
// sequences share, and the closing status check that tells how it went.
#include <cstdint>

#include "image/mot_file.h"
#include "link/check_memory_cmd.h"
#include "ops/page_loop.h"

namespace kv {

// The frame for the page at `address` from the image; a page the image
// does not hold goes out as 0xFF.
void BuildPageFrame(const CMotFile& image, uint32_t address, PageProgramFrame& frame);

// Clear status, then one page frame per page of start..end that `pick`
// visits, with the pause
// `intervalMs` and a status check after each. A cancel is told as it
// happens. Answers Ok, Cancelled or Stopped, LinkLost (the recovery has run)
// or DeviceError with the status of the page that failed (not told: the
// caller knows whether to tell it now). The read time-out is 150 ms during
// the loop and 5000 ms afterwards.
Outcome ProgramPages(CCommand& cmd, Operation op, uint32_t start, uint32_t end, uint32_t intervalMs,
                     PagePick pick = {});

// The pages a program or read-back loop over the link's image visits: those
// the image holds when the link works on them alone, else every page.
PagePick ImagePick(CLink& link);

// The closing status check after programming: tells and answers Ok, or
// DeviceError when the register shows a program error or `program` (the
// page loop's outcome) is one: a loop that stopped at a page is an error
// whatever the register shows by now.
Outcome FinalProgramCheck(CCommand& cmd, Operation op, const Outcome& program);

}  // namespace kv
