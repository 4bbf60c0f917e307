// kelvlite's start-up: port argument, lock, sequencer firmware, switches,
// port, the link through the sequencer, the ID check and the main panel.
#include <optional>

#include "app/command_line.h"
#include "app/firmware.h"
#include "app/kelvix_app.h"
#include "app/start_dlg.h"
#include "app/startup.h"
#include "app/switches.h"

namespace kv::startup {

namespace {

// The port named by the command line, or by the user in the start dialog;
// none when the user chose Exit.
std::optional<std::string> ChoosePort(CS_PrgDlg& start, const ProgramOptions& options) {
    if (options.port) return options.port;
    const std::string argument = KelvlitePortArgument(options.rest);
    if (NamesPort(argument)) return argument;
    if (start.DoModal() != tk::IDOK) return std::nullopt;
    return start.m_strPort;
}

}  // namespace

int RunKelvlite(CKelvixApp& app, const std::vector<std::string>& args) {
    app.firstRun = 1;
    const ProgramOptions options = ParseProgramOptions(args);
    app.commandLineFile = options.file;
    if (!TakeLock(app, "kelvlite.exe")) return kExitNotStarted;
    if (!LoadFirmware(app)) return kExitNotStarted;

    app.idVerified = 0;
    app.programMode = 0;
    CS_PrgDlg start(app);
    start.m_strPort = start.PresetPort();
    StoreSwitches(app, JoinCommandLine(args));

    const std::optional<std::string> port = ChoosePort(start, options);
    if (!port) return kExitDone;

    return BringUpAndShow(app, *port);
}

}  // namespace kv::startup
