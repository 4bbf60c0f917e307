// Times `kelvane-cli write FILE --verify` of a 64 KiB image into vireo-sim
// (internal flash, real wire timing, 115200 bps, on a pseudo-terminal): the
// whole process from start to exit against the protocol's own minimum for
// the same run, which is the pauses the program makes, the replies' time on
// the wire and the chip's busy time where it outlasts the pause after a page.
// Prints both and their ratio; fails when the ratio exceeds 1.03.
//
// On a pseudo-terminal the host's write returns at once, so the host's own
// frames cost no wire time: only the chip's replies do.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

constexpr uint32_t kImageStart = 0x0C0000;
constexpr uint32_t kImageBytes = 64 * 1024;
constexpr double kPages = kImageBytes / 256;
constexpr double kIntervalMs = 40.0;
constexpr double kProgramBusyMs = 2.0;  // the simulator's default
constexpr double kLimit = 1.03;

// The run's minimum at 115200 bps, step by step as the program goes.
double MinimumMs() {
    const double fast = kvbench::ByteMs(115200);
    double ms = kvbench::BringUpAndIdCheckMs();
    // Program: the link probe, 50 ms after clear status, per page the pause
    // (or the busy time) and the status, the closing status.
    ms += 2 * fast + 50 + kPages * (std::max(kIntervalMs, kProgramBusyMs) + 2 * fast) + 2 * fast;
    // Read check: the link probe, per page 256 bytes back and 10 ms.
    ms += 2 * fast + kPages * (256 * fast + 10.0);
    return ms + kvbench::BackTo9600Ms();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string buildDir = kvbench::BuildDir(argc, argv);
    kvbench::Simulator sim(buildDir + "/vireo-sim", "flash");
    if (sim.Path().empty()) {
        std::fprintf(stderr, "cannot start %s/vireo-sim\n", buildDir.c_str());
        return 1;
    }

    const auto file = std::filesystem::temp_directory_path() / ("bench_cli_write_" + std::to_string(getpid()) + ".mot");
    std::vector<uint8_t> bytes(kImageBytes);
    std::mt19937 random(2024);
    for (auto& b : bytes) b = static_cast<uint8_t>(random() % 0xFF);
    std::ofstream(file) << kvbench::S2Image(kImageStart, bytes);

    const std::string cli = buildDir + "/kelvane-cli";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(cli.c_str(), cli.c_str(), "--port", sim.Path().c_str(), "--id", "11223344556677", "-q", "write",
              file.c_str(), "--verify", nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::error_code ignored;
    std::filesystem::remove(file, ignored);

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "kelvane-cli ended with %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return 1;
    }
    const double minimum = MinimumMs();
    const double ratio = wall / minimum;
    std::printf("kelvane-cli write --verify, %.0f pages at 115200 bps, interval %.0f ms, load average %s\n", kPages,
                kIntervalMs, kvbench::LoadAverage().c_str());
    std::printf("wall %8.1f ms  minimum %8.1f ms  ratio %.4f (%+.2f%%)\n", wall, minimum, ratio, (ratio - 1.0) * 100.0);
    if (ratio > kLimit) {
        std::fprintf(stderr, "the ratio exceeds %.2f\n", kLimit);
        return 1;
    }
    return 0;
}
