// Programs a 64 KiB image into vireo-sim (real wire timing, 115200 bps, on a
// pseudo-terminal) and reads it back with the read check, through the real
// Linux serial device and system clock. For each operation it prints the
// wall time, the protocol's own minimum (the pauses the program makes, the
// reply bytes' time on the wire and the chip's busy time), their ratio, and
// the CPU time of this process as a share of the wall time.
//
// On a pseudo-terminal the host's write returns at once and the simulator
// takes the bytes as arrived when it reads them, so the host's own frames
// cost no wire time: only the chip's replies do.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/kelvix_app.h"
#include "bench/bench_support.h"
#include "ops/program_cmd.h"
#include "ops/read_cmd.h"
#include "res/strings.h"
#include "toolkit/scripted/scripted_ui.h"

namespace {

using kvbench::LoadAverage;
using kvbench::S2Image;
using kvbench::Simulator;

constexpr uint32_t kBaud = 115200;
constexpr uint32_t kImageStart = 0x0C0000;
constexpr uint32_t kImageBytes = 64 * 1024;
constexpr uint32_t kPages = kImageBytes / 256;
constexpr double kByteMs = 10.0 * 1000.0 / kBaud;  // 10 bits a byte
constexpr double kProgramBusyMs = 2.0;             // the simulator's default

class NoLock : public plat::IInstanceLock {
public:
    bool Acquire(const std::string&) override { return true; }
    void Release() override {}
    bool Held() const override { return true; }
};

double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

struct Figures {
    double wallMs;
    double cpuMs;
};

Figures Measure(const std::function<void()>& run) {
    const double cpu = CpuMs();
    const auto start = std::chrono::steady_clock::now();
    run();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return {wall, CpuMs() - cpu};
}

void Report(const char* name, const Figures& f, double minimumMs) {
    std::printf("%-13s wall %8.1f ms  minimum %8.1f ms  ratio %.4f (%+.2f%%)  cpu %6.1f ms (%.2f%% of wall)\n", name,
                f.wallMs, minimumMs, f.wallMs / minimumMs, (f.wallMs / minimumMs - 1.0) * 100.0, f.cpuMs,
                f.cpuMs / f.wallMs * 100.0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string buildDir = kvbench::BuildDir(argc, argv);
    Simulator sim(buildDir + "/vireo-sim", "bootloader");
    if (sim.Path().empty()) {
        std::fprintf(stderr, "cannot start %s/vireo-sim\n", buildDir.c_str());
        return 1;
    }

    const auto settings =
        std::filesystem::temp_directory_path() / ("bench_program_read_" + std::to_string(getpid()) + ".INI");
    auto clock = plat::MakeSystemClock();
    auto profile = plat::MakeIniFile(settings.string());
    auto process = plat::MakeLinuxProcess();
    NoLock lock;
    tk::ScriptedUi ui;
    kv::CKelvixApp app(kv::Edition::Kelvane, kv::AppServices{*clock, *profile, lock, *process, ui},
                       plat::MakeLinuxSerialDevice());
    int exitCode = 0;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s\n%s", what, ui.TranscriptText().c_str());
        exitCode = 1;
    };

    if (!app.Channel().Open(sim.Path()) || !app.ApplyLineSettings(9600, 8, 0, 0)) {
        fail("cannot open the simulator's terminal");
    } else {
        app.Channel().SetTimeout(5000);
        if (!app.Synchronise() || app.RestoreBaudRate(kBaud, kv::Operation::Link, kv::Phase::RestoreRate) != kBaud) {
            fail("cannot bring the link up at 115200 bps");
        } else {
            std::vector<uint8_t> bytes(kImageBytes);
            std::mt19937 random(2024);
            for (auto& b : bytes) b = static_cast<uint8_t>(random());
            std::istringstream in(S2Image(kImageStart, bytes));
            app.Image().LoadStream(in);
            app.programInterval = 40;

            // Program: the range offered, confirmed twice, then the report.
            ui.Press(tk::IDOK).Press(tk::IDOK).Answer(tk::IDOK, "Program OK.");
            const Figures program = Measure([&] { kv::CProgramCmd(app).Run(); });
            // The pause after clear status; per page the interval (the chip's
            // busy time runs from the frame on, inside the interval, and only
            // what outlasts it counts) and the two status bytes coming back;
            // the final status reply.
            const double interval = app.programInterval;
            const double programMin = 50.0 + kPages * (std::max(interval, kProgramBusyMs) + 2 * kByteMs) + 2 * kByteMs;
            // Read check: per page the 256 bytes coming back and the pause.
            ui.Press(tk::IDOK);
            const Figures readBack = Measure([&] { kv::CReadCmd(app).Run(); });
            const double readMin = kPages * (256 * kByteMs + 10.0);

            if (ui.MessageTexts() != std::vector<std::string>{"Program OK."} || !ui.Errors().empty())
                fail("the operations did not end as expected");
            std::printf("%u pages at %u bps, program interval %d ms, load average %s\n", kPages, kBaud,
                        app.programInterval, LoadAverage().c_str());
            Report("program", program, programMin);
            Report("read check", readBack, readMin);
            app.ResetTo9600();
        }
    }
    std::error_code ignored;
    std::filesystem::remove(settings, ignored);
    return exitCode;
}
