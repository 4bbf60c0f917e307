#pragma once
// Stop requests from outside: SIGTERM (a line controller, `kill`), SIGINT
// (Ctrl-C) and SIGHUP (the terminal went away). The handler only records
// the signal and wakes a pipe; the program notices the request where it
// waits for the user and between pages, and then ends the way Exit does,
// so the port and the single-instance lock are always given back.
#include <string>

namespace plat {

// Catches the three signals for the rest of the run. Each is caught once:
// a second one of the same kind ends the process at once, as a way out
// should the program not get to its clean-up. False when they cannot be caught.
bool InstallStopSignals();

// The first stop signal received since installation, or 0.
int StopSignal();

// Becomes readable when a stop signal arrives and stays so, so a wait can
// poll it beside its own descriptor instead of waking up to look. -1 while
// the signals are not caught.
int StopWakeFd();

// "SIGTERM", "SIGINT", "SIGHUP", or "signal <n>".
std::string StopSignalName(int signal);

// For tests: forgets a received signal and catches the signals again.
void ResetStopSignals();

}  // namespace plat
