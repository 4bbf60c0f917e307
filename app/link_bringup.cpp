// The start-up steps that both dialog programs share around the link's
// bring-up: the single-instance lock and the quit test.
#include "app/connecting_window.h"
#include "app/kelvix_app.h"
#include "app/start_dlg.h"
#include "app/startup.h"
#include "link/bring_up.h"
#include "res/strings.h"

namespace kv::startup {

bool Quitting(CKelvixApp& app) { return app.Ui().QuitRequested(); }

bool TakeLock(CKelvixApp& app, const std::string& name) {
    if (app.Lock().Acquire(name)) return true;
    app.Message(IDS_ALREADY_RUNNING, tk::Icon::Stop);
    return false;
}

int BringUpAndShow(CKelvixApp& app, const std::string& port) {
    Outcome up = OpenLink(app, port);
    if (up.kind == OutcomeKind::PortUnavailable) return kExitNotStarted;
    RememberPort(app, port);  // the next start offers it first
    if (up.Ok()) {
        const CConnectingWindow connecting(app, port);
        up = BringUpOpened(app);
    }
    if (Quitting(app)) return app.Ui().ExitCode();
    // A chip that did not answer the synchronisation, and was not brought
    // back by the recovery, leaves nothing to show.
    if (!up.Ok() && up.phase == Phase::Sync) return kExitNotStarted;
    return ShowWindows(app);
}

}  // namespace kv::startup
