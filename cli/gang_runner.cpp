#include "cli/gang_runner.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include "cli/cli_session.h"
#include "cli/exit_codes.h"
#include "cli/stop_notice.h"
#include "platform/port_match.h"
#include "platform/stop_signals.h"

namespace kv::cli {

namespace {

// The options of one port's run.
Options OptionsFor(const Options& all, const PortEntry& port) {
    Options mine = all;
    mine.port = port.name;
    mine.ports = {port};
    if (port.id) {
        mine.id = port.id;
        mine.idFile.clear();
    }
    // The port's own sequences, given by its name or by the pattern that found it.
    for (const auto& [name, lines] : all.portLines) {
        if (name != port.name) {
            const PortEntry given{name, std::nullopt};
            if (!given.IsPattern()) continue;
            const std::vector<std::string> matched = plat::MatchPorts(name);
            if (std::find(matched.begin(), matched.end(), port.name) == matched.end()) continue;
        }
        if (lines.before) mine.before = *lines.before;
        if (lines.after) mine.after = *lines.after;
    }
    return mine;
}

PortOutcome RunPort(const Options& options, size_t index, CGangConsole& console, const GangServices& services) {
    PortOutcome outcome;
    outcome.port = options.port;
    const auto began = std::chrono::steady_clock::now();
    CPortWatcher watcher(console, index);
    try {
        const auto clock = services.makeClock();
        const auto settings = services.makeSettings ? services.makeSettings() : nullptr;
        CPortStream out(console, index, false);
        CPortStream err(console, index, true);
        plat::IClock& time = *clock;
        SessionServices session{time,
                                [&services, &time, &err] { return services.makeDevice(time, err); },
                                services.selfPath,
                                out,
                                err,
                                false,
                                settings.get(),
                                services.stopSignal,
                                &watcher};
        session.showProgress = services.style != CGangConsole::Style::Live;  // the status line shows it
        session.printExit = false;  // the gang's exit object is the run's only one
        session.retries = &outcome.retries;
        outcome.code = RunSession(options, session);
    } catch (const std::exception& e) {
        watcher.Failed(kExitDevice, std::string("the run stopped: ") + e.what());
        outcome.code = kExitDevice;
    }
    outcome.firstError = watcher.FirstError();
    const std::string end =
        outcome.code == kExitOk ? "done" : "failed (" + std::to_string(outcome.code) + "): " + outcome.firstError;
    console.Phase(index, end, -1);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return outcome;
}

}  // namespace

int RunGang(const Options& options, const std::vector<PortEntry>& ports, const GangServices& services) {
    std::vector<std::string> names;
    names.reserve(ports.size());
    for (const PortEntry& port : ports) names.push_back(port.name);
    CGangConsole console(services.out, services.err, services.style, names, services.columns);

    std::vector<Options> perPort;
    perPort.reserve(ports.size());
    for (const PortEntry& port : ports) perPort.push_back(OptionsFor(options, port));
    std::vector<PortOutcome> outcomes(ports.size());
    std::optional<plat::CStopNotice> notice;
    if (services.noticeStops) notice.emplace([&console](int signal) { console.Notice(StopNoticeText(signal)); });
    {
        std::vector<std::jthread> threads;
        threads.reserve(ports.size());
        for (size_t i = 0; i < ports.size(); ++i) {
            threads.emplace_back([&, i] { outcomes[i] = RunPort(perPort[i], i, console, services); });
        }
    }  // every port's run has ended here
    notice.reset();

    int code = kExitOk;
    for (const PortOutcome& o : outcomes) code = WorseExit(code, o.code);
    if (const int signal = services.stopSignal ? services.stopSignal() : 0) code = kExitSignalBase + signal;
    console.Summary(outcomes, code, options.quiet);
    return code;
}

}  // namespace kv::cli
