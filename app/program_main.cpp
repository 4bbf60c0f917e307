#include "app/program_main.h"

#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/kelvix_app.h"
#include "kelvane_version.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/serial_device.h"
#include "platform/stop_signals.h"
#include "res/strings.h"
#include "toolkit/console/console_ui.h"

namespace kv {

namespace {

constexpr int kExitUsage = 2;

void PrintUsage(Edition edition, std::ostream& out) {
    const std::string name = ProgramName(edition);
    out << "Usage: " << name << " [--console] [--port <name>]" << (edition == Edition::Kelvlite ? " [<port>]" : "")
        << " [+a|-a]" << (edition == Edition::Kelvane ? " [+Z|-Z]" : "") << "\n"
        << "  --help         print this help and end\n"
        << "  --version      print the version and end\n"
        << "  --console      text front end on standard input and output (also KELVANE_UI=console)\n"
        << "  --trace        timestamped trace lines on standard output (also KELVANE_TRACE=1)\n"
        << "  --port <name>  the serial port: COM1..COM4 (/dev/ttyS0..3), a device name or path\n"
        << "  +a, -a         erase block by block on old boot loaders, or the normal erase\n";
    if (edition == Edition::Kelvane) out << "  +Z, -Z         begin the synchronisation with 0xB0, or with 0x00\n";
}

}  // namespace

int ProgramMain(Edition edition, int argc, char** argv, GraphicalUiFactory graphical) {
    const std::vector<std::string> args(argv, argv + argc);
    const ProgramOptions options = ParseProgramOptions(args);
    if (options.help) {
        PrintUsage(edition, std::cout);
        return 0;
    }
    if (options.version) {
        std::cout << ProgramName(edition) << " (Kelvane) " << KELVANE_VERSION << "\n";
        return 0;
    }
    if (!options.error.empty()) {
        std::cerr << ProgramName(edition) << ": " << options.error << "\n";
        PrintUsage(edition, std::cerr);
        return kExitUsage;
    }

    // From here on SIGTERM, SIGINT and SIGHUP end the run through the front
    // end, so the port and the lock are given back.
    plat::InstallStopSignals();
    auto clock = plat::MakeSystemClock();
    auto lock = plat::MakeFileInstanceLock();
    auto process = plat::MakeLinuxProcess();

    const bool console = options.console || process->Env("KELVANE_UI") == "console";
    std::unique_ptr<tk::Ui> ui;
    if (console)
        plat::SetEnvironment("KELVANE_UI", "console");  // kelvlite started from here keeps it
    else if (graphical)
        ui = graphical(argc, argv);
    if (!ui) ui = tk::ConsoleUi::ForStdio();
    // Trace lines only when asked for; kelvlite started from here keeps the wish.
    const bool trace = options.trace || process->Env("KELVANE_TRACE") == "1";
    if (options.trace) plat::SetEnvironment("KELVANE_TRACE", "1");
    ui->ShowTraces(trace);

    // A settings file that cannot serve is named to the user once.
    auto profile = plat::MakeIniFile(plat::DefaultProfilePath(ProgramName(edition)), [&](const std::string& text) {
        ui->MessageBox(text, LoadString(edition, IDS_TITLE), tk::Icon::Exclamation, tk::Buttons::Ok);
    });

    CKelvixApp app(edition, AppServices{*clock, *profile, *lock, *process, *ui}, plat::MakeLinuxSerialDevice());
    const int code = app.Run(args);
    // However the run unwound, a stop signal is its outcome.
    return ui->StopSignal() != 0 ? 128 + ui->StopSignal() : code;
}

}  // namespace kv
