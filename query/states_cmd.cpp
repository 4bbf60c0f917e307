#include "query/states_cmd.h"

#include "app/kelvix_app.h"
#include "query/states_dlg.h"

namespace kv {

int CStatesCmd::Run() {
    CSerialComm& channel = app_.Channel();
    // The panel's link probe has just run, so there is nothing stale to purge.
    // A routine that did not load has already run the recovery.
    if (!app_.LoadRoutine(kStatusRead)) return 0;
    const uint8_t code = kStatusRead;
    channel.Write(&code, 1);
    uint8_t reply[2];
    if (channel.Read(reply, 2) != 2) {
        app_.RecoverLink();
        return 0;
    }
    app_.LoadRoutine(kHandshake);

    CStatesDlg dlg(app_);
    dlg.SetStatus(reply[0], reply[1]);
    dlg.DoModal();
    return 1;
}

}  // namespace kv
