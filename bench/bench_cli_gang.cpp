// Times `kelvane-cli write FILE --verify` of one 64 KiB image into 1, 4 and
// 16 simulated chips at once (vireo-sim processes, internal flash, real wire
// timing, 115200 bps), each chip on its own --port. Then the same into 1 and
// 8 boards on vireo-sim's RFC 2217 face whose reset and boot-mode inputs hang
// on DTR and RTS: each needs the before-sequence to answer, and --after reset
// starts its program; no hand at any board. Prints the wall time and the CPU
// time kelvane-cli used for each count; fails when the largest gang of a
// series takes more than 1.2 times as long as one board of it.
//
// Usage: bench_cli_gang [BUILD_DIR] [COUNT...]   (counts of the first series: 1 4 16)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

constexpr uint32_t kImageStart = 0x0C0000;
constexpr uint32_t kImageBytes = 64 * 1024;
constexpr double kLimit = 1.2;
constexpr const char* kBefore = "dtr=0,rts=1,wait=100,dtr=1,wait=50";

struct Run {
    int exitCode = -1;
    double wallMs = 0;
    double cpuMs = 0;  // kelvane-cli's own, user and system
};

double Ms(const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; }

Run Flash(const std::string& cli, const std::vector<std::string>& ports, const std::vector<std::string>& options,
          const std::string& file) {
    std::vector<std::string> args = {cli};
    for (const std::string& port : ports) {
        args.push_back("--port");
        args.push_back(port);
    }
    args.insert(args.end(), options.begin(), options.end());
    for (const char* a : {"--id", "11223344556677", "-q", "write"}) args.emplace_back(a);
    args.push_back(file);
    args.emplace_back("--verify");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);  // the summary table is not measured
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// One series: `counts` boards at once, each a vireo-sim with `simOptions`;
// kelvane-cli with `cliOptions`. False when a run fails or the ratio is over the limit.
bool Series(const std::string& buildDir, const std::vector<int>& counts, const std::vector<std::string>& simOptions,
            const std::vector<std::string>& cliOptions, const std::string& file) {
    double single = 0;
    bool ok = true;
    for (const int count : counts) {
        std::vector<std::unique_ptr<kvbench::Simulator>> sims;
        std::vector<std::string> ports;
        for (int i = 0; i < count; ++i) {
            sims.push_back(std::make_unique<kvbench::Simulator>(buildDir + "/vireo-sim", "flash", simOptions));
            if (sims.back()->Path().empty()) {
                std::fprintf(stderr, "cannot start %s/vireo-sim\n", buildDir.c_str());
                return false;
            }
            ports.push_back(sims.back()->Path());
        }
        const Run run = Flash(buildDir + "/kelvane-cli", ports, cliOptions, file);
        if (run.exitCode != 0) {
            std::fprintf(stderr, "kelvane-cli ended with %d for %d chips\n", run.exitCode, count);
            ok = false;
            continue;
        }
        if (count == 1) single = run.wallMs;
        const double ratio = single > 0 ? run.wallMs / single : 0.0;
        std::printf("N=%2d  wall %8.1f ms  ratio to N=1 %.3f  kelvane-cli CPU %7.1f ms (%.2f%% of one core)\n", count,
                    run.wallMs, ratio, run.cpuMs, run.cpuMs * 100.0 / run.wallMs);
        if (ratio > kLimit) {
            std::fprintf(stderr, "N=%d takes more than %.1f times as long as N=1\n", count, kLimit);
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string buildDir = kvbench::BuildDir(argc, argv);
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {1, 4, 16};

    const auto file = std::filesystem::temp_directory_path() / ("bench_cli_gang_" + std::to_string(getpid()) + ".mot");
    std::vector<uint8_t> bytes(kImageBytes);
    std::mt19937 random(2024);
    for (auto& b : bytes) b = static_cast<uint8_t>(random() % 0xFF);
    std::ofstream(file) << kvbench::S2Image(kImageStart, bytes);

    std::printf("kelvane-cli write --verify, %u KiB at 115200 bps into N simulated chips at once, load average %s\n",
                kImageBytes / 1024, kvbench::LoadAverage().c_str());
    bool ok = Series(buildDir, counts, {}, {}, file.string());
    std::printf("The same on RFC 2217 into boards on DTR and RTS: --before %s --after reset\n", kBefore);
    ok = Series(buildDir, {1, 8}, {"--rfc2217", "0", "--boot-lines"}, {"--before", kBefore, "--after", "reset"},
                file.string()) &&
         ok;
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return ok ? 0 : 1;
}
