// Times `kelvane-cli write FILE --erase --verify` at the default settings of
// a typical image, code at 0C0000 and the vector and ID table at 0FFFDC,
// into vireo-sim (internal flash, real wire timing, 115200 bps, on a
// pseudo-terminal): the whole process from start to exit against the
// protocol's own minimum for the same run. Only the pages with data are
// programmed and read back, so the 1,024 pages of the range cost no more
// than the few that hold the file. Prints both and their ratio; fails when
// the run takes more than 8 s or the ratio exceeds 1.05.
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

constexpr uint32_t kCodeStart = 0x0C0000;
constexpr uint32_t kCodeBytes = 528;         // three pages
constexpr uint32_t kVectorStart = 0x0FFFDC;  // the vectors and the ID table, to the top of the flash
constexpr uint32_t kVectorBytes = 36;
constexpr double kPages = 4;
constexpr double kIntervalMs = 40.0;
constexpr double kProgramBusyMs = 2.0;  // the simulator's default
constexpr double kEraseBusyMs = 100.0;  // the simulator's default
constexpr double kLimitMs = 8000;
constexpr double kLimit = 1.05;

// The run's minimum at 115200 bps, step by step as the program goes.
double MinimumMs() {
    const double fast = kvbench::ByteMs(115200);
    double ms = kvbench::BringUpAndIdCheckMs();
    // Erase: the link probe, clear status and 50 ms, the erase frame and
    // 50 ms, the status once the chip is done.
    ms += 2 * fast + 50 + 50 + std::max(0.0, kEraseBusyMs - 50) + 2 * fast;
    // Program: clear status and 50 ms, per page the pause (or the busy time)
    // and the status, the closing status.
    ms += 50 + kPages * (std::max(kIntervalMs, kProgramBusyMs) + 2 * fast) + 2 * fast;
    // Read-back: per page 256 bytes back and 10 ms.
    ms += kPages * (256 * fast + 10.0);
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

    const auto file =
        std::filesystem::temp_directory_path() / ("bench_cli_sparse_" + std::to_string(getpid()) + ".mot");
    std::mt19937 random(2024);
    std::vector<uint8_t> code(kCodeBytes), vectors(kVectorBytes);
    for (auto& b : code) b = static_cast<uint8_t>(random() % 0xFF);
    for (auto& b : vectors) b = static_cast<uint8_t>(random() % 0xFF);
    // The ID table holds the ID the run gives.
    const uint32_t idAt[7] = {0x0FFFDF, 0x0FFFE3, 0x0FFFEB, 0x0FFFEF, 0x0FFFF3, 0x0FFFF7, 0x0FFFFB};
    for (uint32_t i = 0; i < 7; ++i) vectors[idAt[i] - kVectorStart] = static_cast<uint8_t>(0x11 * (i + 1));
    std::ofstream(file) << kvbench::S2Image(kCodeStart, code, false) << kvbench::S2Image(kVectorStart, vectors);

    const std::string cli = buildDir + "/kelvane-cli";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(cli.c_str(), cli.c_str(), "--port", sim.Path().c_str(), "--id", "11223344556677", "-q", "write",
              file.c_str(), "--erase", "--verify", nullptr);
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
    std::printf(
        "kelvane-cli write --erase --verify, code at 0C0000 and vectors at 0FFFDC (%.0f pages of 1,024), "
        "load average %s\n",
        kPages, kvbench::LoadAverage().c_str());
    std::printf("wall %8.1f ms  minimum %8.1f ms  ratio %.4f (%+.2f%%)  limit %.0f ms\n", wall, minimum, ratio,
                (ratio - 1.0) * 100.0, kLimitMs);
    if (wall > kLimitMs || ratio > kLimit) {
        std::fprintf(stderr, "over the limit: %.0f ms or a ratio of %.2f\n", kLimitMs, kLimit);
        return 1;
    }
    return 0;
}
