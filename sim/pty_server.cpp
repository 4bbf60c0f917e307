#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <ostream>

#include "sim/chip.h"
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

uint32_t RateOf(speed_t speed) {
    switch (speed) {
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        default: return 0;
    }
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

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

// The terminal pair. The slave stays open here so that the master never sees
// a hang-up when the client closes, and so that the client's line settings
// can be read.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;

    ~Pty() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }

    bool Open(std::string& error) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        const char* name = ptsname(master);
        if (!name) {
            error = "no pseudo-terminal name";
            return false;
        }
        path = name;
        slave = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0) {
            error = "cannot open " + path + ": " + std::strerror(errno);
            return false;
        }
        termios tio{};
        tcgetattr(slave, &tio);
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
        tio.c_cflag |= CS8;
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(slave, TCSANOW, &tio);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        return true;
    }

    uint32_t HostBaud() const {
        termios tio{};
        if (tcgetattr(slave, &tio) != 0) return 0;
        return RateOf(cfgetospeed(&tio));
    }
};

// On a pseudo-terminal the host's write has already returned when the chip
// reads the bytes; they count as arrived then (see Options).
Options WithPtyInput(Options options) {
    options.inputArrivesWhenHanded = true;
    return options;
}

class Server {
public:
    Server(ServerConfig& config, std::ostream& err) : config_(config), err_(err), chip_(WithPtyInput(config.chip)) {}

    bool Prepare() {
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

    void Serve(Pty& pty) {
        bool blocked = false;  // the client's input queue is full
        for (;;) {
            uint64_t now = NowUs();
            Take(chip_.Advance(now));
            blocked = !Flush(pty.master, now);

            std::optional<uint64_t> next = chip_.NextTimerUs();
            if (!pending_.empty() && !blocked && (!next || pending_.front().dueUs < *next))
                next = pending_.front().dueUs;
            // Wake when the next byte is due, to the microsecond: a wait
            // rounded up to whole milliseconds would make every reply late.
            timespec wait{};
            if (next) {
                const uint64_t us = *next > now ? *next - now : 0;
                wait.tv_sec = static_cast<time_t>(us / 1000000u);
                wait.tv_nsec = static_cast<long>(us % 1000000u) * 1000L;
            }

            pollfd fds[2] = {{pty.master, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                             {g_wakePipe[0], POLLIN, 0}};
            if (ppoll(fds, 2, next ? &wait : nullptr, nullptr) < 0 && errno != EINTR) {
                err_ << "vireo-sim: poll: " << std::strerror(errno) << "\n";
                return;
            }
            if (fds[1].revents & POLLIN) return;
            if (fds[0].revents & POLLIN) Receive(pty);
        }
    }

    void Finish() {
        std::string error;
        if (!config_.dumpPath.empty()) {
            bool binary =
                config_.dumpPath.size() >= 4 && config_.dumpPath.substr(config_.dumpPath.size() - 4) == ".bin";
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

private:
    void Take(const std::vector<TimedByte>& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }

    // Writes what is due; false when the client's queue is full.
    bool Flush(int master, uint64_t now) {
        std::vector<uint8_t> due;
        for (const auto& b : pending_) {
            if (b.dueUs > now) break;
            due.push_back(b.value);
        }
        if (due.empty()) return true;
        ssize_t n = write(master, due.data(), due.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(due.size()));  // nobody to hear it
            return true;
        }
        pending_.erase(pending_.begin(), pending_.begin() + n);
        return static_cast<size_t>(n) == due.size();
    }

    void Receive(Pty& pty) {
        uint8_t buf[4096];
        ssize_t n = read(pty.master, buf, sizeof buf);
        if (n <= 0) return;
        uint32_t baud = pty.HostBaud();
        size_t before = chip_.Transcript().size();
        Take(chip_.Feed(buf, static_cast<size_t>(n), baud, NowUs()));
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

    ServerConfig& config_;
    std::ostream& err_;
    Chip chip_;
    std::deque<TimedByte> pending_;
    std::ofstream log_;
};

}  // namespace

int RunPtyServer(ServerConfig config, std::ostream& out, std::ostream& err) {
    if (config.chip.mode == Mode::Lite && !LoadFirmware(config, err)) return 1;
    Server server(config, err);
    if (!server.Prepare()) return 1;

    if (pipe(g_wakePipe) != 0) {
        err << "vireo-sim: pipe: " << std::strerror(errno) << "\n";
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Pty pty;
    std::string error;
    if (!pty.Open(error)) {
        err << "vireo-sim: " << error << "\n";
        return 1;
    }
    if (!config.linkPath.empty()) {
        unlink(config.linkPath.c_str());
        if (symlink(pty.path.c_str(), config.linkPath.c_str()) != 0) {
            err << "vireo-sim: cannot link " << config.linkPath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    out << pty.path << std::endl;

    server.Serve(pty);
    server.Finish();
    if (!config.linkPath.empty()) unlink(config.linkPath.c_str());
    return 0;
}

}  // namespace sim
