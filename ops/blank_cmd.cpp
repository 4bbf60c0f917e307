#include "ops/blank_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CBlankCmd::Run() { return 0; }

}  // namespace kv
