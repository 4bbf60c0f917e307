#pragma once
// How kelvane-cli reports an outcome: its exit status, one line of text and
// the named values of a result.
#include <string>

#include "cli/report_printer.h"
#include "link/outcome.h"

namespace kv::cli {

// The exit status of an outcome (exit_codes.h); a stop is 128 + its signal,
// which the session knows.
int ExitCodeFor(const Outcome& outcome);

// The line for an outcome that failed: "difference at 0C0123: expected 12,
// read 34", "program error (status 90 00)", ...
std::string FailureText(const Outcome& outcome);

// The named values of an outcome: the address and bytes of a difference,
// the status bytes of a device error.
Fields OutcomeFields(const Outcome& outcome);

}  // namespace kv::cli
