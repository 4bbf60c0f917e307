#include "ops/download_cmd.h"

namespace kv {

// Placeholder until the operation lands.
int CDownloadCmd::Run() { return 0; }

}  // namespace kv
