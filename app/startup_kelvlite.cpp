// kelvlite's start-up: port argument, lock, sequencer firmware, switches,
// port, the link through the sequencer, the ID check and the main panel.
#include <optional>

#include "app/command_line.h"
#include "app/firmware.h"
#include "app/kelvix_app.h"
#include "app/start_dlg.h"
#include "app/startup.h"
#include "app/switches.h"
#include "link/command.h"

namespace kv::startup {

namespace {

constexpr uint32_t kSettleMs = 1000;
constexpr uint32_t kAfterCommandMs = 50;

// The port named by the command line, or by the user in the start dialog;
// none when the user chose Exit.
std::optional<std::string> ChoosePort(CS_PrgDlg& start, const ProgramOptions& options) {
    if (options.port) return options.port;
    const std::string argument = KelvlitePortArgument(options.rest);
    if (NamesPort(argument)) return argument;
    if (start.DoModal() != tk::IDOK) return std::nullopt;
    return start.m_strPort;
}

// The first status read through the sequencer's routine. A missing reply
// runs no recovery; a routine that did not load has run it already.
void ReadFirstStatus(CKelvixApp& app, const CommState& state) {
    CSerialComm& channel = app.Channel();
    app.Sleep(kSettleMs);
    channel.Purge();
    bool replied = false;
    uint8_t srd[2] = {};
    if (app.LoadRoutine(kStatusRead)) {
        const uint8_t read = kStatusRead;
        channel.Write(&read, 1);
        replied = channel.Read(srd, 2) == 2;
        if (replied) {
            app.LoadRoutine(kHandshake);
            if (Quitting(app)) return;
            app.linkReady = 1;
            WriteCommState(app, state);
        } else {
            AskForCommState(app);
        }
    }
    if (Quitting(app)) return;
    app.Sleep(kAfterCommandMs);
    if (replied) app.ApplyIdCheckState(srd[1]);
    channel.Purge();
    app.LoadRoutine(kClearStatus);  // the routine clears the status; no command byte follows
}

}  // namespace

int RunKelvlite(CKelvixApp& app, const std::vector<std::string>& args) {
    app.firstRun = 1;
    const ProgramOptions options = ParseProgramOptions(args);
    if (!TakeLock(app, "kelvlite.exe")) return kExitNotStarted;
    if (!LoadFirmware(app)) return kExitNotStarted;

    app.idVerified = 0;
    app.programMode = 0;
    CS_PrgDlg start(app);
    start.m_strPort = "COM1";
    StoreSwitches(app, JoinCommandLine(args));

    const std::optional<std::string> port = ChoosePort(start, options);
    if (!port) return kExitDone;

    if (!OpenChannel(app, *port)) return kExitNotStarted;
    if (!SynchroniseWithRecovery(app)) return Quitting(app) ? app.Ui().ExitCode() : kExitNotStarted;
    const CommState state = RestoreStoredState(app);
    if (Quitting(app)) return app.Ui().ExitCode();
    ReadFirstStatus(app, state);
    if (Quitting(app)) return app.Ui().ExitCode();
    return ShowWindows(app);
}

}  // namespace kv::startup
