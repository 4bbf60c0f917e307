#include "query/version_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CVersionCmd::Run() { return 0; }

}  // namespace kv
