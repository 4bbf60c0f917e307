#include "ops/bpr_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CBPRCmd::Run() { return 0; }

}  // namespace kv
