#pragma once
// kelvane-cli's exit status: 0 only when every command succeeded.
#include <array>

namespace kv::cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;         // a command-line error
constexpr int kExitFile = 3;          // a file refused
constexpr int kExitPort = 4;          // the port cannot be opened
constexpr int kExitLink = 5;          // no answer from the chip, or the link lost
constexpr int kExitId = 6;            // the ID refused
constexpr int kExitDevice = 7;        // an erase or program error
constexpr int kExitDifference = 8;    // a check found a difference or a byte that is not blank
constexpr int kExitSignalBase = 128;  // + the stop signal's number: SIGTERM, SIGINT, SIGHUP, SIGPIPE

// Several boards at once end with the failure that comes first here: the
// earlier a failure stops a run, the more it says about the whole fixture
// (its command line, its files, its ports) rather than about one board.
constexpr std::array<int, 7> kExitPriority = {kExitUsage, kExitFile,   kExitPort,      kExitLink,
                                              kExitId,    kExitDevice, kExitDifference};

// The exit status of two runs together: the failure of higher priority;
// an unknown non-zero status outranks 0 but nothing in the list.
constexpr int WorseExit(int a, int b) {
    if (a == kExitOk) return b;
    if (b == kExitOk) return a;
    for (int code : kExitPriority) {
        if (a == code) return a;
        if (b == code) return b;
    }
    return a;
}

}  // namespace kv::cli
