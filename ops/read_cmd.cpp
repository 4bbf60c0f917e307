#include "ops/read_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CReadCmd::Run() { return 0; }

}  // namespace kv
