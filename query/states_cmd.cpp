#include "query/states_cmd.h"

#include "link/link.h"
#include "link/status_read.h"

namespace kv {

Outcome CStatesCmd::Run() {
    // The panel's link probe has just run, so there is nothing stale to purge.
    const StatusReply status = SendStatusRead(app_, app_.Channel());
    if (!status.answered) return Outcome::Lost(Operation::Status);

    app_.User().ShowStatus(status.srd, status.srd1);
    Outcome shown = Outcome::Done(Operation::Status);
    shown.hasStatus = true;
    shown.srd = status.srd;
    shown.srd1 = status.srd1;
    return shown;
}

}  // namespace kv
