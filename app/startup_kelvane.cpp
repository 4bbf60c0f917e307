// kelvane's start-up: lock, switches, mode and port, then either the
// companion or the link, the first dialog and the main panel.
#include "app/command_line.h"
#include "app/companion.h"
#include "app/kelvix_app.h"
#include "app/start_dlg.h"
#include "app/startup.h"
#include "app/switches.h"
#include "link/command.h"
#include "link/status_read.h"

namespace kv::startup {

namespace {

constexpr int kModeFlash = 0;
constexpr int kModeBootLoader = 1;
constexpr int kModeCompanion = 2;
constexpr uint32_t kAfterCommandMs = 50;

// Mode 0: the first status read tells whether the chip answers at all and
// whether its ID is already verified. A missing reply runs no recovery.
void ReadFirstStatus(CKelvixApp& app, const CommState& state) {
    CSerialComm& channel = app.Channel();
    const StatusReply status = SendStatusRead(app, channel, {.purge = true, .recover = false});
    if (status.answered) {
        app.linkReady = 1;
        WriteCommState(app, state);
    } else {
        AskForCommState(app);
        if (Quitting(app)) return;
    }
    if (status.answered) app.ApplyIdCheckState(status.srd1);
    const uint8_t clear = kClearStatus;
    channel.Write(&clear, 1);
    app.Sleep(kAfterCommandMs);
}

}  // namespace

int RunKelvane(CKelvixApp& app, const std::vector<std::string>& args) {
    app.firstRun = 1;
    if (!TakeLock(app, "KELVANE.exe")) return kExitNotStarted;

    app.idVerified = 0;
    const ProgramOptions options = ParseProgramOptions(args);
    CS_PrgDlg start(app);
    start.m_strPort = options.port.value_or("COM1");
    start.m_nMode = kModeFlash;

    StoreSwitches(app, JoinCommandLine(args));

    if (start.DoModal() != tk::IDOK) return kExitDone;
    app.programMode = start.m_nMode < 0 ? kModeFlash : start.m_nMode;
    const std::string port = start.m_strPort;

    if (app.programMode == kModeCompanion) return StartCompanion(app, port) ? kExitDone : kExitNotStarted;

    if (!OpenChannel(app, port)) return kExitNotStarted;
    if (!SynchroniseWithRecovery(app)) return Quitting(app) ? app.Ui().ExitCode() : kExitNotStarted;
    const CommState state = RestoreStoredState(app);
    if (Quitting(app)) return app.Ui().ExitCode();

    if (app.programMode == kModeBootLoader) {
        app.idVerified = 1;  // the boot loader has no ID check
        app.linkReady = 1;
        WriteCommState(app, state);
    } else {
        ReadFirstStatus(app, state);
        if (Quitting(app)) return app.Ui().ExitCode();
    }
    return ShowWindows(app);
}

}  // namespace kv::startup
