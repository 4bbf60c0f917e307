// The program's start-up routine runs everything modally: when it returns,
// the program ends.
#include "app/startup.h"
#include "app/dialogs/id_check_dlg.h"
#include "app/dialogs/select_dlg.h"
#include "app/kelvix_app.h"
#include "app/kelvix_dlg.h"

namespace kv {

namespace startup {

int ShowWindows(CKelvixApp& app) {
    if (app.programMode == 1) {
        CSelectDlg select(app);
        select.DoModal();
    } else {
        CIDCheckDlg idCheck(app);
        idCheck.DoModal();
    }
    if (!Quitting(app)) {
        CKelvixDlg panel(app);
        panel.DoModal();
    }
    // Stopped by a signal with the link up and Exit not run (it releases the
    // lock): leave the chip at 9600 bps for the next run, as Exit does.
    if (app.Ui().StopSignal() != 0 && app.linkReady && app.Channel().IsOpen() && app.Lock().Held()) app.ResetTo9600();
    app.Channel().Close();
    return Quitting(app) ? app.Ui().ExitCode() : kExitDone;
}

}  // namespace startup

int CKelvixApp::Run(const std::vector<std::string>& args) {
    const int code = IsLite() ? startup::RunKelvlite(*this, args) : startup::RunKelvane(*this, args);
    // Whatever way the run ended: the panel's Exit and the recovery's Cancel
    // have done this already.
    Channel().Close();
    Lock().Release();
    return code;
}

}  // namespace kv
