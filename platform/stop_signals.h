#pragma once
// Stop requests from outside: SIGTERM (a line controller, `kill`), SIGINT
// (Ctrl-C), SIGHUP (the terminal went away) and SIGPIPE (the output was
// closed: `| head -1`, a log pipe that died). The handler only records the
// signal and wakes a pipe; the program notices the request where it waits
// for the user and between pages, and then ends the way Exit does, so the
// port and the single-instance lock are always given back.
#include <functional>
#include <string>
#include <thread>

namespace plat {

// Catches the signals for the rest of the run. SIGTERM, SIGINT and SIGHUP
// are caught once: a second one of the same kind ends the process at once,
// as a way out should the program not get to its clean-up. SIGPIPE stays
// caught, as every later write to the closed output raises it again (the
// write then fails with EPIPE). False when they cannot be caught.
bool InstallStopSignals();

// The first stop signal received since installation, or 0.
int StopSignal();

// Becomes readable when a stop signal arrives and stays so, so a wait can
// poll it beside its own descriptor instead of waking up to look. -1 while
// the signals are not caught.
int StopWakeFd();

// "SIGTERM", "SIGINT", "SIGHUP", "SIGPIPE", or "signal <n>".
std::string StopSignalName(int signal);

// For tests: forgets a received signal and catches the signals again.
void ResetStopSignals();

// Calls `notice` once, on a thread of its own, as soon as the first stop
// signal arrives: a run that waits for a long erase or for the chip hears
// of the stop at once. Nothing is called after the object went.
class CStopNotice {
public:
    explicit CStopNotice(std::function<void(int signal)> notice);
    ~CStopNotice();
    CStopNotice(const CStopNotice&) = delete;
    CStopNotice& operator=(const CStopNotice&) = delete;

private:
    void Wait();

    std::function<void(int)> notice_;
    int quit_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace plat
