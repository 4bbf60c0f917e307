#include "platform/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

// A self-pipe rather than signalfd: signalfd needs the signals blocked in
// every thread, and a blocked mask is inherited by every program started
// from here (kelvlite, helpers of the desktop toolkit), which would then
// ignore Ctrl-C and `kill`. A caught signal is reset to its default on exec.

namespace plat {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE};

// Read by every thread that runs a link (kelvane-cli runs one per port): an
// atomic, which a signal handler may also use as long as it is lock-free.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
int g_wake[2] = {-1, -1};

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    g_signal.compare_exchange_strong(none, signal);
    // The pipe is non-blocking: once it is full the wake-up is there anyway.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(g_wake[1], &byte, 1);
    errno = saved;
}

bool CatchAll() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : kStopSignals) sigaddset(&sa.sa_mask, s);
    // SA_RESTART: reads and writes elsewhere carry on; waits that must
    // notice the stop poll the wake-up pipe. SA_RESETHAND: the second
    // signal is not caught; but a closed output raises SIGPIPE at every
    // write, and must not end the clean-up.
    bool ok = true;
    for (int s : kStopSignals) {
        sa.sa_flags = SA_RESTART | (s == SIGPIPE ? 0 : SA_RESETHAND);
        ok = sigaction(s, &sa, nullptr) == 0 && ok;
    }
    return ok;
}

}  // namespace

bool InstallStopSignals() {
    if (g_wake[0] < 0 && pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_wake[0] = g_wake[1] = -1;
        return false;
    }
    return CatchAll();
}

int StopSignal() { return g_signal.load(); }

int StopWakeFd() { return g_wake[0]; }

std::string StopSignalName(int signal) {
    switch (signal) {
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        case SIGHUP: return "SIGHUP";
        case SIGPIPE: return "SIGPIPE";
        default: return "signal " + std::to_string(signal);
    }
}

void ResetStopSignals() {
    if (g_wake[0] < 0) return;
    char buf[64];
    while (read(g_wake[0], buf, sizeof buf) > 0) {}
    g_signal.store(0);
    CatchAll();
}

CStopNotice::CStopNotice(std::function<void(int)> notice) : notice_(std::move(notice)) {
    if (pipe2(quit_, O_CLOEXEC) != 0) {
        quit_[0] = quit_[1] = -1;
        return;
    }
    thread_ = std::thread([this] { Wait(); });
}

CStopNotice::~CStopNotice() {
    if (thread_.joinable()) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = write(quit_[1], &byte, 1);
        thread_.join();
    }
    for (int fd : quit_)
        if (fd >= 0) close(fd);
}

void CStopNotice::Wait() {
    // The wake-up pipe stays readable once a signal came: it is looked at
    // until then, and afterwards only the end of the object is waited for.
    pollfd fds[2] = {{quit_[0], POLLIN, 0}, {g_wake[0], POLLIN, 0}};
    nfds_t count = g_wake[0] >= 0 ? 2 : 1;
    for (;;) {
        if (poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        if (count == 2 && fds[1].revents != 0) {
            if (const int signal = g_signal.load()) notice_(signal);
            count = 1;
        }
    }
}

}  // namespace plat
