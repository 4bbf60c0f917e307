// kelvane-cli: one command line flashes a board, for production lines, test
// rigs and build scripts.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/exit_codes.h"
#include "cli/gang_ports.h"
#include "cli/gang_runner.h"
#include "cli/report_printer.h"
#include "cli/stop_notice.h"
#include "cli/traced_device.h"
#include "cli/usage.h"
#include "platform/clock.h"
#include "platform/line_reader.h"
#include "platform/port_match.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/serial_device.h"
#include "platform/stop_signals.h"

#ifndef KELVANE_VERSION
#define KELVANE_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    using namespace kv::cli;
    const std::vector<std::string> args(argv, argv + argc);
    const ParseResult parsed = ParseOptions(args);
    const Options& options = parsed.options;
    if (options.help) {
        PrintUsage(std::cout);
        return kExitOk;
    }
    if (options.version) {
        std::cout << "kelvane-cli " << KELVANE_VERSION << "\n";
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        CReportPrinter printer(std::cout, std::cerr, options.json, CReportPrinter::ProgressStyle::None);
        printer.Refusal(kExitUsage, parsed.error);
        std::cerr << "Try 'kelvane-cli --help'.\n";
        printer.Final(kExitUsage);
        return kExitUsage;
    }

    const std::string settingsPath = plat::DefaultProfilePath(options.mode == Mode::Lite ? "kelvlite" : "kelvane");
    auto process = plat::MakeLinuxProcess();
    // SIGTERM, SIGINT, SIGHUP and a closed output (SIGPIPE) stop every port
    // after its page, and the links go back to 9600 bps before the program ends.
    plat::InstallStopSignals();
    const bool verbose = options.verbose;
    if (options.Gang()) {
        const PortList ports = ExpandPorts(options.ports, plat::MatchPorts);
        if (ports.code != kExitOk) {
            CReportPrinter printer(std::cout, std::cerr, options.json, CReportPrinter::ProgressStyle::None);
            printer.Refusal(ports.code, ports.error);
            printer.Final(ports.code);
            return ports.code;
        }
        GangServices gang{plat::MakeSystemClock,
                          [verbose](plat::IClock& time, std::ostream& trace) -> std::unique_ptr<plat::ISerialDevice> {
                              auto device = plat::MakeLinuxSerialDevice();
                              if (!verbose) return device;
                              return MakeTracedDevice(std::move(device), time, trace);
                          },
                          [&settingsPath] { return plat::MakeIniFile(settingsPath); },
                          plat::StopSignal,
                          process->SelfPath(),
                          std::cout,
                          std::cerr};
        gang.noticeStops = true;
        gang.style = options.json                                        ? CGangConsole::Style::Json
                     : plat::IsTerminal(1) && !verbose && !options.quiet ? CGangConsole::Style::Live
                                                                         : CGangConsole::Style::Lines;
        gang.columns = plat::TerminalColumns(1);
        return RunGang(options, ports.ports, gang);
    }

    auto clock = plat::MakeSystemClock();
    auto settings = plat::MakeIniFile(settingsPath);
    plat::IClock& time = *clock;
    // The stop is told at once, from a thread of its own, between the run's lines.
    CLockedStream err(std::cerr);
    const plat::CStopNotice notice([&err](int signal) { err.Line(StopNoticeText(signal)); });
    const auto makeDevice = [&time, &err, verbose]() -> std::unique_ptr<plat::ISerialDevice> {
        auto device = plat::MakeLinuxSerialDevice();
        if (!verbose) return device;
        return MakeTracedDevice(std::move(device), time, err);
    };
    // read - puts the image on stdout: the result lines go to stderr then.
    std::ostream& results = options.ImageToStandardOutput() ? static_cast<std::ostream&>(err) : std::cout;
    SessionServices services{*clock, makeDevice,          process->SelfPath(), results,
                             err,    plat::IsTerminal(2), settings.get(),      [] { return plat::StopSignal(); }};
    return RunSession(options, services);
}
