#pragma once
// kelvane-cli's --help text: every option, the commands and the exit codes.
#include <ostream>

namespace kv::cli {

void PrintUsage(std::ostream& out);

}  // namespace kv::cli
