#include "query/states_cmd.h"

#include "app/kelvix_app.h"
#include "link/status_read.h"
#include "query/states_dlg.h"

namespace kv {

int CStatesCmd::Run() {
    // The panel's link probe has just run, so there is nothing stale to purge.
    const StatusReply status = SendStatusRead(app_, app_.Channel());
    if (!status.answered) return 0;

    CStatesDlg dlg(app_);
    dlg.SetStatus(status.srd, status.srd1);
    dlg.DoModal();
    return 1;
}

}  // namespace kv
