#pragma once
// Several boards at once: one thread and one session per port, each with a
// link, clock, settings and streams of its own, so that nothing one port
// does stops or slows another. The console tags every line with its port;
// at the end a table gives each port's result.
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/gang_console.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/serial_device.h"

namespace kv::cli {

struct GangServices {
    std::function<std::unique_ptr<plat::IClock>()> makeClock;
    // The device for one port; `trace` takes its -v lines.
    std::function<std::unique_ptr<plat::ISerialDevice>(plat::IClock& clock, std::ostream& trace)> makeDevice;
    // The dialog program's settings, read only; may answer none.
    std::function<std::unique_ptr<plat::IProfile>()> makeSettings;
    // The stop signal received so far (0: none); every port stops after its
    // page. None: never stopped.
    std::function<int()> stopSignal = nullptr;
    std::string selfPath;
    std::ostream& out;
    std::ostream& err;
    CGangConsole::Style style = CGangConsole::Style::Lines;
    int columns = 80;
    // True: the first stop signal is told at once, whatever the ports wait for.
    bool noticeStops = false;
};

// Runs `options` on every port of `ports` at once (a port's own ID replaces
// --id and --id-file for it). Answers the exit status: 0 when every port
// succeeded, 128 + the signal when a stop signal ended the run, else the
// failure of highest priority (WorseExit).
int RunGang(const Options& options, const std::vector<PortEntry>& ports, const GangServices& services);

}  // namespace kv::cli
