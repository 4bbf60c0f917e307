#include "query/states_cmd.h"

#include "link/link.h"
#include "link/status_read.h"

namespace kv {

int CStatesCmd::Run() {
    // The panel's link probe has just run, so there is nothing stale to purge.
    const StatusReply status = SendStatusRead(app_, app_.Channel());
    if (!status.answered) return 0;

    app_.User().ShowStatus(status.srd, status.srd1);
    return 1;
}

}  // namespace kv
