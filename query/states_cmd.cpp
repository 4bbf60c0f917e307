#include "query/states_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CStatesCmd::Run() { return 0; }

}  // namespace kv
