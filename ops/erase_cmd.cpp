#include "ops/erase_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CEraseCmd::Run() { return 0; }

}  // namespace kv
