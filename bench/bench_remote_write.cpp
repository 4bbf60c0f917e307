// Times `kelvane-cli write FILE --verify` of a 64 KiB image into vireo-sim
// (internal flash, real wire timing, 115200 bps) through ser2net with the
// COM-PORT option, side by side in one run with the same write on the
// simulator's own terminal; then 16 boards behind ser2net in one call
// against one; then the write through a proxy that gives the network a
// round trip of 30 ms. Fails when the first ratio exceeds 1.05, the second
// 1.2, or any write fails. Needs ser2net (scripts/install-deps --ci).
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/e2e/ser2net_rig.h"

namespace {

constexpr uint32_t kImageStart = 0x0C0000;
constexpr uint32_t kImageBytes = 64 * 1024;
constexpr int kGang = 16;
constexpr uint32_t kOneWayMs = 15;  // a round trip of 30 ms
constexpr double kRemoteLimit = 1.05;
constexpr double kGangLimit = 1.2;

// The wall time of one kelvane-cli run in ms; negative when it failed.
double TimeCli(const std::string& cli, const std::vector<std::string>& ports, const std::string& file) {
    std::vector<std::string> args = {cli};
    for (const auto& p : ports) args.insert(args.end(), {"--port", p});
    for (const char* a : {"--id", "11223344556677", "-q", "write"}) args.emplace_back(a);
    args.insert(args.end(), {file, "--verify"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(cli.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "kelvane-cli on %s ended with %d\n", ports.front().c_str(),
                     WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return -1;
    }
    return wall;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string buildDir = kvbench::BuildDir(argc, argv);
    if (kvnet::Ser2netBinary().empty()) {
        std::fprintf(stderr, "ser2net is not installed (scripts/install-deps --ci installs it)\n");
        return 1;
    }
    const auto folder = std::filesystem::temp_directory_path() / ("bench_remote_write_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "image.mot").string();
    std::vector<uint8_t> bytes(kImageBytes);
    std::mt19937 random(2024);
    for (auto& b : bytes) b = static_cast<uint8_t>(random() % 0xFF);
    std::ofstream(file) << kvbench::S2Image(kImageStart, bytes);
    const std::string cli = buildDir + "/kelvane-cli";
    const std::string simBinary = buildDir + "/vireo-sim";
    int failed = 0;

    // One board on its terminal and one behind ser2net, run one after the other.
    double direct = -1, remote = -1, slow = -1;
    {
        kvbench::Simulator local(simBinary, "flash");
        direct = TimeCli(cli, {local.Path()}, file);
    }
    {
        kvbench::Simulator board(simBinary, "flash");
        kvnet::Ser2net server({board.Path()}, folder.string());
        if (server.Ready()) remote = TimeCli(cli, {server.Url()}, file);
    }
    {
        kvbench::Simulator board(simBinary, "flash");
        kvnet::Ser2net server({board.Path()}, folder.string());
        kvnet::DelayProxy network(server.Port(), kOneWayMs);
        if (server.Ready()) slow = TimeCli(cli, {network.Url()}, file);
    }
    // 16 boards behind one ser2net in one call.
    double gang = -1;
    {
        std::vector<std::unique_ptr<kvbench::Simulator>> boards;
        std::vector<std::string> ptys;
        for (int i = 0; i < kGang; ++i) {
            boards.push_back(std::make_unique<kvbench::Simulator>(simBinary, "flash"));
            ptys.push_back(boards.back()->Path());
        }
        kvnet::Ser2net server(ptys, folder.string());
        std::vector<std::string> urls;
        for (int i = 0; i < kGang; ++i) urls.push_back(server.Url(static_cast<size_t>(i)));
        if (server.Ready()) gang = TimeCli(cli, urls, file);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    std::printf("kelvane-cli write --verify, 64 KiB at 115200 bps, load average %s\n", kvbench::LoadAverage().c_str());
    if (direct < 0 || remote < 0 || slow < 0 || gang < 0) {
        std::fprintf(stderr, "a write failed\n");
        return 1;
    }
    const double remoteRatio = remote / direct;
    const double gangRatio = gang / remote;
    std::printf("terminal          %8.1f ms\n", direct);
    std::printf("ser2net           %8.1f ms  ratio to the terminal %.4f (limit %.2f)\n", remote, remoteRatio,
                kRemoteLimit);
    std::printf("%2d boards ser2net %8.1f ms  ratio to one board    %.4f (limit %.2f)\n", kGang, gang, gangRatio,
                kGangLimit);
    std::printf("30 ms round trip  %8.1f ms  ratio to the terminal %.4f\n", slow, slow / direct);
    if (remoteRatio > kRemoteLimit) {
        std::fprintf(stderr, "ser2net is more than %.2fx the terminal\n", kRemoteLimit);
        ++failed;
    }
    if (gangRatio > kGangLimit) {
        std::fprintf(stderr, "%d boards are more than %.2fx one\n", kGang, kGangLimit);
        ++failed;
    }
    return failed ? 1 : 0;
}
