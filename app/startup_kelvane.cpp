// kelvane's start-up: lock, switches, mode and port, then either the
// companion or the link, the first dialog and the main panel.
#include "app/command_line.h"
#include "app/companion.h"
#include "app/kelvix_app.h"
#include "app/start_dlg.h"
#include "app/startup.h"
#include "app/switches.h"

namespace kv::startup {

namespace {

constexpr int kModeFlash = 0;
constexpr int kModeCompanion = 2;

}  // namespace

int RunKelvane(CKelvixApp& app, const std::vector<std::string>& args) {
    app.firstRun = 1;
    if (!TakeLock(app, "KELVANE.exe")) return kExitNotStarted;

    app.idVerified = 0;
    const ProgramOptions options = ParseProgramOptions(args);
    app.commandLineFile = options.file;
    CS_PrgDlg start(app);
    start.m_strPort = options.port.value_or(start.PresetPort());
    start.m_nMode = kModeFlash;

    StoreSwitches(app, JoinCommandLine(args));

    if (start.DoModal() != tk::IDOK) return kExitDone;
    app.programMode = start.m_nMode < 0 ? kModeFlash : start.m_nMode;
    const std::string port = start.m_strPort;

    if (app.programMode == kModeCompanion) {
        RememberPort(app, port);
        return StartCompanion(app, port) ? kExitDone : kExitNotStarted;
    }

    return BringUpAndShow(app, port);
}

}  // namespace kv::startup
