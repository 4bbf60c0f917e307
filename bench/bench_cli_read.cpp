// Times `kelvane-cli read` of 64 KiB from vireo-sim (internal flash, real
// wire timing, 115200 bps, on a pseudo-terminal) into an Intel HEX file with
// every page. Two processes are timed: one that only brings the link up,
// unlocks and returns to 9600 bps, and one that does the same and reads; the
// difference is the read itself. Each is set against the protocol's minimum
// (the program's pauses and the replies' time on the wire; the read has no
// pause between pages, so its minimum is the reply bytes alone). Prints the
// figures with the processes' CPU time and fails when a ratio exceeds 1.03.
//
// On a pseudo-terminal the host's write returns at once, so the host's own
// frames cost no wire time: only the chip's replies do.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

constexpr double kPages = 64 * 1024 / 256;
constexpr double kLimit = 1.03;

using kvbench::ByteMs;

// Bring-up, ID check and the return to 9600 bps at 115200 bps.
double UnlockMinimumMs() { return kvbench::BringUpAndIdCheckMs() + kvbench::BackTo9600Ms(); }

// The read: the link probe, then 256 bytes back per page.
double ReadMinimumMs() { return 2 * ByteMs(115200) + kPages * 256 * ByteMs(115200); }

struct Timing {
    double wallMs = -1;  // -1: the run failed
    double cpuMs = 0;    // user and system time of the process
};

// Runs kelvane-cli with `args` and times it.
Timing TimedRun(const std::string& cli, const std::vector<std::string>& args) {
    std::vector<char*> argv = {const_cast<char*>(cli.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(cli.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Timing t;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "kelvane-cli ended with %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return t;
    }
    t.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto ms = [](const timeval& v) { return v.tv_sec * 1000.0 + v.tv_usec / 1000.0; };
    t.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return t;
}

bool Report(const char* what, double wall, double minimum, double cpu) {
    const double ratio = wall / minimum;
    std::printf("%-22s wall %8.1f ms  minimum %8.1f ms  ratio %.4f (%+.2f%%)  cpu %6.1f ms\n", what, wall, minimum,
                ratio, (ratio - 1.0) * 100.0, cpu);
    return ratio <= kLimit;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string buildDir = kvbench::BuildDir(argc, argv);
    kvbench::Simulator sim(buildDir + "/vireo-sim", "flash");
    if (sim.Path().empty()) {
        std::fprintf(stderr, "cannot start %s/vireo-sim\n", buildDir.c_str());
        return 1;
    }
    const std::string cli = buildDir + "/kelvane-cli";
    const std::vector<std::string> link = {"--port", sim.Path(), "--id", "11223344556677", "-q"};
    const auto file = std::filesystem::temp_directory_path() / ("bench_cli_read_" + std::to_string(getpid()) + ".hex");

    std::vector<std::string> unlock = link;
    unlock.push_back("unlock");
    std::vector<std::string> read = link;
    for (const char* a : {"read", file.c_str(), "--range", "0C0000-0CFFFF", "--all-pages"}) read.push_back(a);
    const Timing unlockRun = TimedRun(cli, unlock);
    const Timing readRun = TimedRun(cli, read);
    std::error_code ignored;
    const bool written = std::filesystem::file_size(file, ignored) > 0;
    std::filesystem::remove(file, ignored);
    if (unlockRun.wallMs < 0 || readRun.wallMs < 0 || !written) return 1;

    std::printf("kelvane-cli read, %.0f pages at 115200 bps into Intel HEX, load average %s\n", kPages,
                kvbench::LoadAverage().c_str());
    bool ok = Report("unlock alone", unlockRun.wallMs, UnlockMinimumMs(), unlockRun.cpuMs);
    ok = Report("unlock and read", readRun.wallMs, UnlockMinimumMs() + ReadMinimumMs(), readRun.cpuMs) && ok;
    ok = Report("the read (difference)", readRun.wallMs - unlockRun.wallMs, ReadMinimumMs(),
                readRun.cpuMs - unlockRun.cpuMs) &&
         ok;
    if (!ok) {
        std::fprintf(stderr, "a ratio exceeds %.2f\n", kLimit);
        return 1;
    }
    return 0;
}
