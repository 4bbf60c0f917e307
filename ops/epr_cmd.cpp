#include "ops/epr_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CEPRCmd::Run() { return 0; }

}  // namespace kv
