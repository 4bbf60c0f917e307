// kelvane-cli: one command line flashes a board, for production lines, test
// rigs and build scripts.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/exit_codes.h"
#include "cli/report_printer.h"
#include "cli/traced_device.h"
#include "cli/usage.h"
#include "platform/clock.h"
#include "platform/line_reader.h"
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

    plat::InstallStopSignals();
    auto clock = plat::MakeSystemClock();
    auto process = plat::MakeLinuxProcess();
    auto settings = plat::MakeIniFile(plat::DefaultProfilePath(options.mode == Mode::Lite ? "kelvlite" : "kelvane"));
    plat::IClock& time = *clock;
    const bool verbose = options.verbose;
    const auto makeDevice = [&time, verbose]() -> std::unique_ptr<plat::ISerialDevice> {
        auto device = plat::MakeLinuxSerialDevice();
        if (!verbose) return device;
        return MakeTracedDevice(std::move(device), time, std::cerr);
    };
    SessionServices services{*clock, makeDevice, process->SelfPath(), std::cout,
                             std::cerr, plat::IsTerminal(2), settings.get(), [] { return plat::StopSignal(); }};
    return RunSession(options, services);
}
