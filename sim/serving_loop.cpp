#include "sim/serving_loop.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "sim/srecord_io.h"

namespace sim {

namespace {

int g_wakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    const char b = 1;
    ssize_t ignored = write(g_wakePipe[1], &b, 1);
    (void)ignored;
}

uint64_t NowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Neither face gives the host back-pressure: a pseudo-terminal's write, like
// a socket's, returns at once, where a UART's lasts until the bytes are out.
// The bytes count as arrived when the chip is handed them (see Options).
Options WithUnpacedInput(Options options) {
    options.inputArrivesWhenHanded = true;
    return options;
}

}  // namespace

bool LoadFirmware(ServerConfig& config, std::ostream& err) {
    std::vector<std::string> candidates;
    if (!config.firmPath.empty())
        candidates = {config.firmPath};
    else
        candidates = {ProgramDir() + "/firm.mot", "res/firm.mot"};
    for (const auto& path : candidates) {
        bool opened = false;
        if (kv::LoadSequencerFirmware(path, config.chip.firmware, opened)) return true;
        if (opened) {
            err << "vireo-sim: " << path << ": not a usable sequencer firmware\n";
            return false;
        }
    }
    err << "vireo-sim: sequencer firmware not found (" << candidates.front() << ")\n";
    return false;
}

bool InstallStopSignals(std::ostream& err) {
    if (pipe(g_wakePipe) != 0) {
        err << "vireo-sim: pipe: " << std::strerror(errno) << "\n";
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

ServingLoop::ServingLoop(ServerConfig& config, std::ostream& err)
    : config_(config), err_(err), chip_(WithUnpacedInput(config.chip)) {}

bool ServingLoop::Prepare() {
    std::string error;
    if (!config_.loadPath.empty() && !LoadSRecords(config_.loadPath, chip_.Flash(), error)) {
        err_ << "vireo-sim: " << error << "\n";
        return false;
    }
    if (!config_.logPath.empty()) {
        log_.open(config_.logPath, std::ios::trunc);
        if (!log_) {
            err_ << "vireo-sim: cannot write " << config_.logPath << "\n";
            return false;
        }
    }
    return true;
}

void ServingLoop::Serve(ClientFace& face) {
    bool blocked = false;  // the client's input queue is full
    for (;;) {
        uint64_t now = NowUs();
        Take(chip_.Advance(now));
        blocked = !Flush(face, now);

        std::optional<uint64_t> next = chip_.NextTimerUs();
        if (!pending_.empty() && !blocked && (!next || pending_.front().dueUs < *next)) next = pending_.front().dueUs;
        // Wake when the next byte is due, to the microsecond: a wait
        // rounded up to whole milliseconds would make every reply late.
        timespec wait{};
        if (next) {
            const uint64_t us = *next > now ? *next - now : 0;
            wait.tv_sec = static_cast<time_t>(us / 1000000u);
            wait.tv_nsec = static_cast<long>(us % 1000000u) * 1000L;
        }

        pollfd fds[2] = {face.PollFor(blocked), {g_wakePipe[0], POLLIN, 0}};
        if (ppoll(fds, 2, next ? &wait : nullptr, nullptr) < 0 && errno != EINTR) {
            err_ << "vireo-sim: poll: " << std::strerror(errno) << "\n";
            return;
        }
        if (fds[1].revents & POLLIN) return;
        if (fds[0].revents & POLLIN) Receive(face);
    }
}

void ServingLoop::Finish() {
    std::string error;
    if (!config_.dumpPath.empty()) {
        bool binary = config_.dumpPath.size() >= 4 && config_.dumpPath.substr(config_.dumpPath.size() - 4) == ".bin";
        uint32_t first = config_.dumpFirst, last = config_.dumpLast;
        auto used = chip_.Flash().UsedPages();
        if (binary && !config_.dumpRangeGiven) {
            first = used.empty() ? 0 : used.front();
            last = used.empty() ? 0 : used.back() + kPageSize - 1;
        }
        bool ok = binary ? DumpBinary(config_.dumpPath, chip_.Flash(), first, last, error)
                         : DumpSRecords(config_.dumpPath, chip_.Flash(), first, last, error);
        if (!ok) err_ << "vireo-sim: " << error << "\n";
    }
    if (!config_.downloadPath.empty()) {
        std::ofstream out(config_.downloadPath, std::ios::binary | std::ios::trunc);
        const auto& d = chip_.LastDownload();
        out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
        if (!out) err_ << "vireo-sim: cannot write " << config_.downloadPath << "\n";
    }
}

// Writes what is due; false when the client's queue is full.
bool ServingLoop::Flush(ClientFace& face, uint64_t now) {
    std::vector<uint8_t> due;
    for (const auto& b : pending_) {
        if (b.dueUs > now) break;
        due.push_back(b.value);
    }
    if (due.empty()) return true;
    const size_t n = face.Send(due.data(), due.size());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
    return n == due.size();
}

void ServingLoop::Receive(ClientFace& face) {
    for (const ClientInput& in : face.Take()) {
        if (in.kind == ClientInput::Kind::Line) {
            const int resets = chip_.ResetCount();
            chip_.SetLine(in.line, in.on, NowUs());
            Log(in.line == Line::Dtr ? (in.on ? "dtr on" : "dtr off") : (in.on ? "rts on" : "rts off"));
            // A reset that ended: where the chip started.
            if (chip_.ResetCount() != resets) Log(chip_.InProgram() ? "start program" : "start boot loader");
            continue;
        }
        size_t before = chip_.Transcript().size();
        Take(chip_.Feed(in.bytes.data(), in.bytes.size(), in.baud, NowUs()));
        if (log_.is_open()) {
            const auto& t = chip_.Transcript();
            char line[32];
            for (size_t i = before; i < t.size(); ++i) {
                std::snprintf(line, sizeof line, "%02X %u%s\n", t[i].value, t[i].baud, t[i].understood ? "" : " x");
                log_ << line;
            }
            log_.flush();
        }
    }
}

void ServingLoop::Log(const char* line) {
    if (!log_.is_open()) return;
    log_ << line << "\n";
    log_.flush();
}

}  // namespace sim
