#include "ops/program_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CProgramCmd::Run() { return 0; }

}  // namespace kv
