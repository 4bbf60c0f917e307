#pragma once
// One kelvane-cli run on one link: check the arguments and files, bring the
// link up, unlock the chip, run the commands in order, and leave the link at
// 9600 bps where the chip still answers. Everything of the run lives in the
// session object; several sessions can run side by side.
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "cli/report_printer.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/serial_device.h"

namespace kv::cli {

struct SessionServices {
    plat::IClock& clock;
    std::function<std::unique_ptr<plat::ISerialDevice>()> makeDevice;
    std::string selfPath;  // the running program, for firm.mot beside it
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    // The dialog program's settings file, read for its hand-edited page-read
    // time-out only; none: not read.
    plat::IProfile* settings = nullptr;
    // The stop signal received so far (0: none). A stop ends the run at the
    // next page, with the link taken back to 9600 bps, and the exit status
    // 128 + the signal.
    std::function<int()> stopSignal;
    // Told of the run's steps; none: nobody watches.
    CRunWatcher* watcher = nullptr;
    // False: progress goes to the watcher alone.
    bool showProgress = true;
    // False: the run prints no JSON exit object (a gang prints the one for all ports).
    bool printExit = true;
    // Where the run's count of retries goes; none: nowhere.
    int* retries = nullptr;
};

// Answers the exit status.
int RunSession(const Options& options, SessionServices services);

}  // namespace kv::cli
