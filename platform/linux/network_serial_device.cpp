// A port on a serial device server, reached through libgensio: telnet with
// the COM-PORT option (RFC 2217) for "rfc2217://", plain TCP for "socket://".
// One thread per port runs the library's event loop; it hands received bytes
// and acknowledgements to the callers under one lock.
#include <gensio/gensio.h>
#include <gensio/gensio_err.h>
#include <gensio/gensio_os_funcs_public.h>
#include <gensio/gensio_unix.h>
#include <gensio/sergensio.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/net_port.h"
#include "platform/serial_device.h"
#include "platform/wait_hook.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kConnectMs = 5000;      // a host that does not answer
constexpr uint32_t kControlMs = 2000;      // an acknowledgement of a line setting, beyond the round trip
constexpr uint32_t kWriteBudgetMs = 2000;  // as long as a local port's stalled write may take
constexpr uint32_t kCloseMs = 2000;
constexpr int kFreeTurns = 5;            // the library's events that free a broken connection
constexpr uint32_t kModemLinesMs = 250;  // the answer to DTR and RTS, beyond the round trip
constexpr uint32_t kJitterMs = 10;       // added to every read time-out of a network port
constexpr int kWakeSignal = SIGUSR1;     // the library's signal between its threads

void OnWakeSignal(int) {}

// The library wakes its waiting thread with a signal: it must have a handler
// (its default would end the process) and be blocked outside the library's waits.
void InstallWakeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction old {};
        if (sigaction(kWakeSignal, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
            struct sigaction sa {};
            sa.sa_handler = OnWakeSignal;
            sigemptyset(&sa.sa_mask);
            sigaction(kWakeSignal, &sa, nullptr);
        }
    });
}

// libgensio sets up its process-wide state at first use, under the
// once-lock of the os funcs at hand: the defaults (at the first default
// read) and the register of connection kinds with its lock (at the first
// stack parsed). Each port has os funcs of its own, so the ports of a gang
// opening at once could set them up together (data races ThreadSanitizer
// reports). Both are set up here once, before any port uses them, with os
// funcs kept for the process: the locks are theirs.
void SetUpLibraryDefaults() {
    static std::once_flag once;
    std::call_once(once, [] {
        static gensio_os_funcs* keeper = nullptr;
        if (gensio_unix_funcs_alloc(nullptr, kWakeSignal, &keeper) != 0) return;
        int value = 0;
        gensio_get_default(keeper, nullptr, "nodelay", false, GENSIO_DEFAULT_BOOL, nullptr, &value);
        // A stack parsed and dropped unopened: no connection is made.
        gensio* parsed = nullptr;
        if (str_to_gensio("telnet(rfc2217),tcp,127.0.0.1,9", keeper, nullptr, nullptr, &parsed) == 0)
            gensio_free(parsed);
    });
}

// Blocks SIGPIPE on the calling thread while a write to a socket that the
// server has closed may raise it, and swallows the one raised.
class NoSigPipe {
public:
    NoSigPipe() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &old_);
    }
    ~NoSigPipe() {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) && !sigismember(&old_, SIGPIPE)) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            timespec none{0, 0};
            sigtimedwait(&pipe, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    NoSigPipe(const NoSigPipe&) = delete;
    NoSigPipe& operator=(const NoSigPipe&) = delete;

private:
    sigset_t old_{};
};

// The line settings the COM-PORT option carries, in the order of the array below.
enum Setting : size_t { kBaud, kDataSize, kParity, kStopBits, kDtr, kRts, kSettings };

class NetworkSerialDevice;

// One outstanding request of a setting: its answer, when it came.
struct Request {
    NetworkSerialDevice* device = nullptr;
    bool waiting = false;
    int err = 0;
    unsigned value = 0;
};

unsigned ParityCode(uint8_t parity) {
    return parity == 1 ? SERGENSIO_PARITY_ODD : parity == 2 ? SERGENSIO_PARITY_EVEN : SERGENSIO_PARITY_NONE;
}
int ParityFromCode(unsigned code) {
    switch (code) {
        case SERGENSIO_PARITY_NONE: return 0;
        case SERGENSIO_PARITY_ODD: return 1;
        case SERGENSIO_PARITY_EVEN: return 2;
        default: return -1;  // mark and space have no code of ours
    }
}
// RFC 2217 counts stop bits as 1 one, 2 two, 3 one and a half.
unsigned StopBitsCode(uint8_t stopBits) { return stopBits == 1 ? 3u : stopBits == 2 ? 2u : 1u; }
int StopBitsFromCode(unsigned code) { return code == 1 ? 0 : code == 2 ? 2 : code == 3 ? 1 : -1; }

bool Valid(const LineSettings& line) {
    if (line.baud == 0 || line.byteSize < 5 || line.byteSize > 8 || line.parity > 2 || line.stopBits > 2) return false;
    // One and a half stop bits exist only at 5 data bits, two only above.
    if (line.stopBits == 1 && line.byteSize != 5) return false;
    if (line.stopBits == 2 && line.byteSize == 5) return false;
    return true;
}

class NetworkSerialDevice final : public ISerialDevice {
public:
    NetworkSerialDevice() {
        for (Request& r : requests_) r.device = this;
    }
    ~NetworkSerialDevice() override { Close(); }

    bool Open(const std::string& portName) override {
        if (io_) return false;
        openError_.clear();
        NetPortAddress address;
        if (!ParseNetPort(portName, address, openError_)) return false;
        name_ = portName;
        raw_ = address.kind == NetPortKind::RawTcp;
        if (!StartLoop()) return false;

        const std::string stack = std::string(raw_ ? "" : "telnet(rfc2217),") + "tcp(nodelay)," + address.host + "," +
                                  std::to_string(address.port);
        int err = str_to_gensio(stack.c_str(), os_, &NetworkSerialDevice::OnEvent, this, &io_);
        if (err) {
            io_ = nullptr;
            return Fail(std::string("cannot set up the connection: ") + gensio_err_to_str(err));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            opening_ = true;
            openErr_ = 0;
            lost_ = false;
            closed_ = false;
            input_.clear();
            line_ = {};
            for (Request& r : requests_) r.waiting = false;
        }
        const auto began = Clock::now();
        err = gensio_open(io_, &NetworkSerialDevice::OnOpened, this);
        if (err) return Fail(ConnectError(err, address));
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!changed_.wait_for(lock, milliseconds(kConnectMs), [this] { return !opening_; })) {
                lock.unlock();
                return Fail("no answer from " + address.host + " within " + std::to_string(kConnectMs / 1000) +
                            " s (check the address, the network and any firewall)");
            }
            if (openErr_) {
                const int e = openErr_;
                lock.unlock();
                return Fail(ConnectError(e, address));
            }
        }
        // The TCP handshake is one round trip.
        roundTripMs_ = static_cast<uint32_t>(std::chrono::duration_cast<milliseconds>(Clock::now() - began).count());
        gensio_set_read_callback_enable(io_, true);

        if (raw_) {
            line_ = {kRawTcpBaud, 8, 0, 0};
        } else {
            sio_ = gensio_to_sergensio(io_);
            if (!sio_) return Fail("the connection has no COM-PORT option");
            // Asking for the settings in force both fills GetLine and times the
            // server's answer, which is what every setting will cost.
            const auto asked = Clock::now();
            std::array<unsigned, kSettings> values{};
            if (!Exchange({true, true, true, true, false, false}, values, kControlMs + 2 * roundTripMs_)) {
                if (Lost()) return Fail(kClosedByServer);
                return Fail(
                    "the server does not answer RFC 2217 requests (is the port set up as "
                    "telnet(rfc2217) in ser2net?)");
            }
            const uint32_t answered =
                static_cast<uint32_t>(std::chrono::duration_cast<milliseconds>(Clock::now() - asked).count());
            roundTripMs_ = std::max(roundTripMs_, answered);
            std::lock_guard<std::mutex> lock(mutex_);
            line_.baud = values[kBaud];
            line_.byteSize = static_cast<uint8_t>(values[kDataSize]);
            line_.parity = static_cast<uint8_t>(std::max(ParityFromCode(values[kParity]), 0));
            line_.stopBits = static_cast<uint8_t>(std::max(StopBitsFromCode(values[kStopBits]), 0));
        }
        return true;
    }

    std::string OpenError() const override { return openError_; }
    std::string GoneReason() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return lost_ ? "the connection to the server was lost" : "";
    }

    bool Close() override {
        if (io_) {
            bool wait = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                closed_ = false;
            }
            if (gensio_close(io_, &NetworkSerialDevice::OnClosed, this) == 0) wait = true;
            if (wait) {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait_for(lock, milliseconds(kCloseMs), [this] { return closed_; });
            }
        }
        StopLoop();
        if (io_) {
            gensio_free(io_);
            // A connection that broke or never finished closing is freed by
            // the library's own events: give them their turn here.
            for (int turn = 0; turn < kFreeTurns && !closed_; ++turn) {
                gensio_time slice{0, 10 * 1000 * 1000};
                gensio_os_funcs_service(os_, &slice);
            }
        }
        io_ = nullptr;
        sio_ = nullptr;
        if (os_) gensio_os_funcs_free(os_);
        os_ = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        input_.clear();
        modemLinesAsked_ = false;
        return true;
    }

    bool IsOpen() const override { return io_ != nullptr; }

    size_t Write(const uint8_t* data, size_t count) override {
        if (!io_ || !data) return 0;
        std::lock_guard<std::mutex> writing(writeMutex_);
        NoSigPipe quiet;
        size_t done = 0;
        const auto deadline = Clock::now() + milliseconds(kWriteBudgetMs);
        while (done < count) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (lost_) break;
                writable_ = false;
            }
            gensiods n = 0;
            const int err = gensio_write(io_, &n, data + done, count - done, nullptr);
            if (err) {
                Lose();
                break;
            }
            done += n;
            if (done >= count) break;
            // The library's buffer is full: wait until it says there is room.
            gensio_set_write_callback_enable(io_, true);
            std::unique_lock<std::mutex> lock(mutex_);
            if (!changed_.wait_until(lock, deadline, [this] { return writable_ || lost_; })) break;
        }
        return done;
    }

    size_t ReadQueued(uint8_t* data, size_t count) override {
        if (!io_ || !data) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        const size_t n = std::min(count, input_.size());
        std::copy_n(input_.begin(), n, data);
        input_.erase(input_.begin(), input_.begin() + static_cast<long>(n));
        return n;
    }

    bool Status(QueueStatus& status) override {
        status = {};
        if (!io_) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        status.queued = static_cast<uint32_t>(input_.size());
        status.lineError = lost_;  // a connection that went away stays gone
        status.gone = lost_;
        return true;
    }

    void PurgeInput() override {
        if (!io_) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            input_.clear();
        }
        // The server drops what its device has sent and we have not yet had;
        // the request travels ahead of the next command, so no wait is needed.
        if (sio_) {
            NoSigPipe quiet;
            sergensio_flush(sio_, SERGENSIO_FLUSH_RCV_BUFFER);
        }
    }

    bool GetLine(LineSettings& line) override {
        line = {0, 0, 0, 0};
        if (!io_) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        line = line_;
        return true;
    }

    bool SetLine(const LineSettings& line) override {
        if (!io_ || !Valid(line)) return false;
        LineSettings now;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            now = line_;
        }
        // A raw TCP server keeps the rate it was set up with.
        if (raw_) return line.baud == now.baud && line.byteSize == 8 && line.parity == 0 && line.stopBits == 0;
        // Only what changes goes to the server: each setting costs a round trip.
        const std::array<bool, kSettings> ask{line.baud != now.baud,
                                              line.byteSize != now.byteSize,
                                              line.parity != now.parity,
                                              line.stopBits != now.stopBits,
                                              false,
                                              false};
        std::array<unsigned, kSettings> values{
            line.baud, line.byteSize, ParityCode(line.parity), StopBitsCode(line.stopBits), 0, 0};
        if (std::none_of(ask.begin(), ask.end(), [](bool a) { return a; })) return true;
        const bool answered = Exchange(ask, values, kControlMs + 2 * roundTripMs_);
        std::lock_guard<std::mutex> lock(mutex_);
        // The server answers with the setting in force, which may not be the one asked for.
        if (ask[kBaud] && requests_[kBaud].err == 0 && !requests_[kBaud].waiting) line_.baud = values[kBaud];
        if (ask[kDataSize] && requests_[kDataSize].err == 0 && !requests_[kDataSize].waiting)
            line_.byteSize = static_cast<uint8_t>(values[kDataSize]);
        if (ask[kParity] && requests_[kParity].err == 0 && !requests_[kParity].waiting &&
            ParityFromCode(values[kParity]) >= 0)
            line_.parity = static_cast<uint8_t>(ParityFromCode(values[kParity]));
        if (ask[kStopBits] && requests_[kStopBits].err == 0 && !requests_[kStopBits].waiting &&
            StopBitsFromCode(values[kStopBits]) >= 0)
            line_.stopBits = static_cast<uint8_t>(StopBitsFromCode(values[kStopBits]));
        return answered && line_.baud == line.baud && line_.byteSize == line.byteSize && line_.parity == line.parity &&
               line_.stopBits == line.stopBits;
    }

    bool RaiseDtr() override {
        if (!io_) return false;
        if (!sio_ || modemLinesAsked_) return true;
        // DTR and RTS go up once a connection. A server whose device has no
        // modem lines (ser2net on a pseudo-terminal) never answers, and its
        // later answers then no longer match the requests: a fresh connection
        // without the request puts that right. That is not an error.
        modemLinesAsked_ = true;
        std::array<unsigned, kSettings> values{0, 0, 0, 0, SERGENSIO_DTR_ON, SERGENSIO_RTS_ON};
        if (Exchange({false, false, false, false, true, true}, values, kModemLinesMs + 2 * roundTripMs_)) return true;
        const std::string name = name_;
        Close();
        modemLinesAsked_ = true;
        return Open(name);
    }

    // RFC 2217 carries each line's change to the server (SET-CONTROL).
    bool SetModemLine(ModemLine line, bool on) override {
        if (!io_ || !sio_) return false;
        const bool dtr = line == ModemLine::Dtr;
        std::array<unsigned, kSettings> values{};
        if (dtr)
            values[kDtr] = on ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF;
        else
            values[kRts] = on ? SERGENSIO_RTS_ON : SERGENSIO_RTS_OFF;
        std::array<bool, kSettings> ask{};
        ask[dtr ? kDtr : kRts] = true;
        return Exchange(ask, values, kModemLinesMs + 2 * roundTripMs_);
    }

    void WaitForInput(uint32_t queued, uint32_t maxMs) override {
        if (maxMs == 0) return;
        if (IWaitHook* hook = WaitHook()) hook->Waiting();
        std::unique_lock<std::mutex> lock(mutex_);
        // A lost connection reports at once in Status; here it waits the
        // whole slice so that the caller's loop does not spin.
        changed_.wait_for(lock, milliseconds(maxMs), [&] { return !lost_ && input_.size() > queued; });
    }

    bool WaitForCount(uint32_t count, uint32_t queued, uint32_t maxMs) override {
        if (!io_ || maxMs == 0 || count <= queued) return false;
        if (IWaitHook* hook = WaitHook()) hook->Waiting();
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, milliseconds(maxMs), [&] { return !lost_ && input_.size() >= count; });
        return true;
    }

    // Twice the round trip measured at the open, and a little more: a
    // network is seldom as quick later as it was once.
    uint32_t RoundTripMs() const override { return io_ ? 2 * roundTripMs_ + kJitterMs : 0; }

private:
    bool Fail(const std::string& why) {
        openError_ = name_ + ": " + why;
        Close();
        return false;
    }

    // A server that closes at once usually serves its port to someone else.
    static constexpr const char* kClosedByServer =
        "the server closed the connection (is another program using the port?)";

    static std::string ConnectError(int err, const NetPortAddress& address) {
        const std::string where = address.host + " port " + std::to_string(address.port);
        if (err == GE_CONNREFUSE)
            return "the connection was refused by " + where + " (is the server running, and set up for that port?)";
        if (err == GE_TIMEDOUT) return "no answer from " + where + " (check the address, the network and any firewall)";
        if (err == GE_NOTFOUND || err == GE_INVAL) return "cannot find the host \"" + address.host + "\"";
        if (err == GE_REMCLOSE) return kClosedByServer;
        return "cannot connect to " + where + ": " + gensio_err_to_str(err);
    }

    bool StartLoop() {
        InstallWakeSignal();
        SetUpLibraryDefaults();
        // Block the wake signal while the loop thread is made so that it
        // inherits the mask; the library unblocks it only inside its waits.
        sigset_t block, old;
        sigemptyset(&block);
        sigaddset(&block, kWakeSignal);
        sigaddset(&block, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &block, &old);
        int err = gensio_unix_funcs_alloc(nullptr, kWakeSignal, &os_);
        if (err) {
            pthread_sigmask(SIG_SETMASK, &old, nullptr);
            os_ = nullptr;
            openError_ = name_ + ": cannot start the network library: " + gensio_err_to_str(err);
            return false;
        }
        waiter_ = gensio_os_funcs_alloc_waiter(os_);
        stop_ = false;
        bool started = waiter_ != nullptr;
        if (started) {
            try {
                loop_ = std::thread([this] { RunLoop(); });
            } catch (const std::system_error&) {
                started = false;
            }
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (!started) {
            if (waiter_) gensio_os_funcs_free_waiter(os_, waiter_);
            waiter_ = nullptr;
            gensio_os_funcs_free(os_);
            os_ = nullptr;
            openError_ = name_ + ": cannot start the network thread";
            return false;
        }
        return true;
    }

    void RunLoop() {
        // The waiter is woken only to stop; the wait runs the library's events
        // meanwhile. The time limit is a fallback should a wake be missed.
        while (!stop_.load()) {
            gensio_time slice{0, 200 * 1000 * 1000};
            gensio_os_funcs_wait(os_, waiter_, 1, &slice);
        }
    }

    void StopLoop() {
        if (!os_) return;
        stop_ = true;
        if (waiter_) gensio_os_funcs_wake(os_, waiter_);
        if (loop_.joinable()) loop_.join();
        if (waiter_) gensio_os_funcs_free_waiter(os_, waiter_);
        waiter_ = nullptr;
    }

    // Sends the asked settings (values[i] to set, 0 to ask the one in force)
    // together and waits for all the answers; the answers replace values.
    // False when one did not come in time or came with an error.
    bool Exchange(const std::array<bool, kSettings>& ask, std::array<unsigned, kSettings>& values, uint32_t limitMs) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (size_t i = 0; i < kSettings; ++i)
                if (ask[i]) requests_[i] = Request{this, true, 0, 0};
        }
        bool sent = true;
        {
            NoSigPipe quiet;
            for (size_t i = 0; i < kSettings && sent; ++i) {
                if (!ask[i]) continue;
                Request* r = &requests_[i];
                int err = 0;
                switch (i) {
                    case kBaud: err = sergensio_baud(sio_, values[i], &NetworkSerialDevice::OnAnswer, r); break;
                    case kDataSize: err = sergensio_datasize(sio_, values[i], &NetworkSerialDevice::OnAnswer, r); break;
                    case kParity: err = sergensio_parity(sio_, values[i], &NetworkSerialDevice::OnAnswer, r); break;
                    case kStopBits: err = sergensio_stopbits(sio_, values[i], &NetworkSerialDevice::OnAnswer, r); break;
                    case kDtr: err = sergensio_dtr(sio_, values[i], &NetworkSerialDevice::OnAnswer, r); break;
                    case kRts: err = sergensio_rts(sio_, values[i], &NetworkSerialDevice::OnAnswer, r); break;
                    default: break;
                }
                if (err) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    r->waiting = false;
                    r->err = err;
                    sent = false;
                }
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        const bool all = changed_.wait_for(lock, milliseconds(limitMs), [&] {
            if (lost_) return true;
            for (size_t i = 0; i < kSettings; ++i)
                if (ask[i] && requests_[i].waiting) return false;
            return true;
        });
        bool ok = sent && all && !lost_;
        for (size_t i = 0; i < kSettings; ++i) {
            if (!ask[i]) continue;
            if (requests_[i].waiting || requests_[i].err) ok = false;
            if (!requests_[i].waiting && requests_[i].err == 0) values[i] = requests_[i].value;
        }
        return ok;
    }

    bool Lost() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lost_;
    }

    void Lose() {
        std::lock_guard<std::mutex> lock(mutex_);
        lost_ = true;
        changed_.notify_all();
    }

    static void OnOpened(gensio*, int err, void* data) {
        auto* self = static_cast<NetworkSerialDevice*>(data);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->openErr_ = err;
        self->opening_ = false;
        self->changed_.notify_all();
    }

    static void OnClosed(gensio*, void* data) {
        auto* self = static_cast<NetworkSerialDevice*>(data);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->closed_ = true;
        self->changed_.notify_all();
    }

    static void OnAnswer(sergensio*, int err, unsigned value, void* data) {
        auto* r = static_cast<Request*>(data);
        std::lock_guard<std::mutex> lock(r->device->mutex_);
        if (!r->waiting) return;  // an answer that came too late
        r->waiting = false;
        r->err = err;
        r->value = value;
        r->device->changed_.notify_all();
    }

    static int OnEvent(gensio* io, void* data, int event, int err, unsigned char* buf, gensiods* buflen,
                       const char* const*) {
        auto* self = static_cast<NetworkSerialDevice*>(data);
        switch (event) {
            case GENSIO_EVENT_READ: {
                std::lock_guard<std::mutex> lock(self->mutex_);
                if (err) {
                    // The server closed the connection or it broke.
                    self->lost_ = true;
                    gensio_set_read_callback_enable(io, false);
                } else if (buf && buflen) {
                    self->input_.insert(self->input_.end(), buf, buf + *buflen);
                }
                self->changed_.notify_all();
                return 0;
            }
            case GENSIO_EVENT_WRITE_READY: {
                gensio_set_write_callback_enable(io, false);
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->writable_ = true;
                self->changed_.notify_all();
                return 0;
            }
            default: return GE_NOTSUP;
        }
    }

    std::string name_;
    std::string openError_;
    bool raw_ = false;
    gensio_os_funcs* os_ = nullptr;
    gensio_waiter* waiter_ = nullptr;
    gensio* io_ = nullptr;
    sergensio* sio_ = nullptr;
    std::thread loop_;
    std::atomic<bool> stop_{false};
    uint32_t roundTripMs_ = 0;
    bool modemLinesAsked_ = false;  // DTR and RTS were asked for on this connection
    std::mutex writeMutex_;         // one writer at a time

    // Shared with the loop thread.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<uint8_t> input_;
    LineSettings line_;
    std::array<Request, kSettings> requests_;
    bool opening_ = false;
    int openErr_ = 0;
    bool closed_ = false;
    bool lost_ = false;
    bool writable_ = false;
};

}  // namespace

std::unique_ptr<ISerialDevice> MakeNetworkSerialDevice() { return std::make_unique<NetworkSerialDevice>(); }

}  // namespace plat
