// The RFC 2217 face on libgensio's server side: an accepter
// "telnet(rfc2217),tcp(nodelay),HOST,PORT" whose connections report each
// COM-PORT request as an event. Every library call happens on one thread of
// its own, which runs the library's event loop; the serving loop sees what
// came through a queue (in the client's order, so a line change falls between
// the bytes it fell between) and a pipe that wakes it.
#include "sim/rfc2217_server.h"

#include <fcntl.h>
#include <gensio/gensio.h>
#include <gensio/gensio_control.h>
#include <gensio/gensio_err.h>
#include <gensio/gensio_os_funcs_public.h>
#include <gensio/gensio_unix.h>
#include <gensio/sergensio.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <ostream>
#include <thread>

#include "sim/serving_loop.h"

namespace sim {

namespace {

constexpr int kWakeSignal = SIGUSR1;  // the library's signal between its threads
constexpr int kFreeTurns = 5;         // the library's events that finish a close
constexpr const char* kSignature = "vireo-sim";

extern "C" void OnWakeSignal(int) {}

class NetFace final : public ClientFace {
public:
    explicit NetFace(std::ostream& err) : err_(err) {}
    ~NetFace() override { Stop(); }
    NetFace(const NetFace&) = delete;
    NetFace& operator=(const NetFace&) = delete;

    // Listens and starts the library's thread; false with `error`.
    bool Start(const std::string& host, uint16_t port, std::string& error) {
        if (pipe2(notify_, O_NONBLOCK | O_CLOEXEC) != 0) {
            error = std::string("pipe: ") + std::strerror(errno);
            return false;
        }
        // The library wakes its thread with a signal: it needs a handler, and
        // is blocked here and in every thread but inside the library's waits.
        struct sigaction sa {};
        sa.sa_handler = OnWakeSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(kWakeSignal, &sa, nullptr);
        sigset_t block;
        sigemptyset(&block);
        sigaddset(&block, kWakeSignal);
        pthread_sigmask(SIG_BLOCK, &block, nullptr);

        int err = gensio_unix_funcs_alloc(nullptr, kWakeSignal, &os_);
        if (err) {
            os_ = nullptr;
            error = std::string("cannot start the network library: ") + gensio_err_to_str(err);
            return false;
        }
        const std::string stack = "telnet(rfc2217),tcp(nodelay)," + host + "," + std::to_string(port);
        err = str_to_gensio_accepter(stack.c_str(), os_, &NetFace::OnAccepterEvent, this, &acc_);
        if (err) {
            acc_ = nullptr;
            error = "cannot listen on " + host + " port " + std::to_string(port) + ": " + gensio_err_to_str(err);
            return false;
        }
        err = gensio_acc_startup(acc_);
        if (err) {
            error = "cannot listen on " + host + " port " + std::to_string(port) + ": " + gensio_err_to_str(err);
            return false;
        }
        char text[32] = "0";  // in: the listening socket's index; out: its port
        gensiods len = sizeof text;
        err = gensio_acc_control(acc_, GENSIO_CONTROL_DEPTH_FIRST, GENSIO_CONTROL_GET, GENSIO_ACC_CONTROL_LPORT, text,
                                 &len);
        if (err) {
            error = std::string("cannot tell the port listened on: ") + gensio_err_to_str(err);
            return false;
        }
        url_ = "rfc2217://" + host + ":" + std::string(text, std::min<size_t>(len, sizeof text));
        waiter_ = gensio_os_funcs_alloc_waiter(os_);
        if (!waiter_) {
            error = "cannot start the network library";
            return false;
        }
        gensio_acc_set_accept_callback_enable(acc_, true);
        loop_ = std::thread([this] { RunLoop(); });
        return true;
    }

    const std::string& Url() const { return url_; }

    pollfd PollFor(bool) const override { return {notify_[0], POLLIN, 0}; }

    std::vector<ClientInput> Take() override {
        char drain[64];
        while (read(notify_[0], drain, sizeof drain) > 0) {}
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<ClientInput> in;
        in.swap(inbox_);
        return in;
    }

    // Taken whole: the library's buffer grows as needed, and the chip's pace
    // bounds what waits in it.
    size_t Send(const uint8_t* data, size_t count) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!connected_) return count;  // nobody to hear it
            outbox_.insert(outbox_.end(), data, data + count);
        }
        gensio_os_funcs_wake(os_, waiter_);
        return count;
    }

private:
    void Stop() {
        if (loop_.joinable()) {
            stop_ = true;
            gensio_os_funcs_wake(os_, waiter_);
            loop_.join();
        }
        // Only this thread is left: the connection and the accepter go, and
        // the library gets its turns to finish closing them.
        if (io_) gensio_free(io_);
        io_ = nullptr;
        if (acc_) gensio_acc_free(acc_);
        acc_ = nullptr;
        if (os_) {
            for (int turn = 0; turn < kFreeTurns; ++turn) {
                gensio_time slice{0, 10 * 1000 * 1000};
                gensio_os_funcs_service(os_, &slice);
            }
            if (waiter_) gensio_os_funcs_free_waiter(os_, waiter_);
            waiter_ = nullptr;
            gensio_os_funcs_free(os_);
            os_ = nullptr;
        }
        for (int& fd : notify_) {
            if (fd >= 0) close(fd);
            fd = -1;
        }
    }

    void RunLoop() {
        // Woken to send and to stop; the wait runs the library's events
        // meanwhile. The time limit is a fallback should a wake be missed.
        while (!stop_.load()) {
            gensio_time slice{0, 200 * 1000 * 1000};
            gensio_os_funcs_wait(os_, waiter_, 1, &slice);
            SendQueued();
        }
    }

    // On the library's thread: what the serving loop queued goes out.
    void SendQueued() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            sending_.insert(sending_.end(), outbox_.begin(), outbox_.end());
            outbox_.clear();
        }
        if (!io_) {
            sending_.clear();
            return;
        }
        if (sending_.empty()) return;
        gensiods n = 0;
        if (gensio_write(io_, &n, sending_.data(), sending_.size(), nullptr) != 0) {
            Drop(io_);
            return;
        }
        sending_.erase(sending_.begin(), sending_.begin() + static_cast<long>(n));
        // The rest when the library says there is room.
        gensio_set_write_callback_enable(io_, !sending_.empty());
    }

    void Queue(ClientInput in) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            inbox_.push_back(std::move(in));
        }
        const char b = 1;
        ssize_t ignored = write(notify_[1], &b, 1);  // full: the loop is woken already
        (void)ignored;
    }

    void Accept(gensio* io) {
        if (io_) {
            // One client at a time: the board is busy.
            err_ << "vireo-sim: a second client was turned away (one at a time)\n";
            gensio_free(io);
            return;
        }
        io_ = io;
        // A device server opens its port at 9600 8N1 for each connection.
        baud_ = 9600;
        dataSize_ = 8;
        parity_ = SERGENSIO_PARITY_NONE;
        stopBits_ = 1;
        sending_.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connected_ = true;
            outbox_.clear();
        }
        gensio_set_callback(io_, &NetFace::OnEvent, this);
        gensio_set_read_callback_enable(io_, true);
    }

    // The client went or its connection broke; the next may come.
    void Drop(gensio* io) {
        if (io != io_) return;
        io_ = nullptr;
        sending_.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connected_ = false;
            outbox_.clear();
        }
        gensio_set_read_callback_enable(io, false);
        gensio_set_write_callback_enable(io, false);
        if (gensio_close(io, &NetFace::OnClosed, nullptr) != 0) gensio_free(io);
    }

    static void OnClosed(gensio* io, void*) { gensio_free(io); }

    static int OnAccepterEvent(gensio_accepter*, void* data, int event, void* value) {
        auto* self = static_cast<NetFace*>(data);
        if (event != GENSIO_ACC_EVENT_NEW_CONNECTION) return GE_NOTSUP;
        self->Accept(static_cast<gensio*>(value));
        return 0;
    }

    // A setting the client asked for (0: only asked what is in force).
    static unsigned Asked(const unsigned char* buf) {
        unsigned value = 0;
        if (buf) std::memcpy(&value, buf, sizeof value);
        return value;
    }

    int Setting(gensio* io, int event, unsigned asked) {
        sergensio* sio = gensio_to_sergensio(io);
        if (!sio) return GE_NOTSUP;
        switch (event) {
            case GENSIO_EVENT_SER_BAUD:
                if (asked) baud_ = asked;
                return sergensio_baud(sio, baud_, nullptr, nullptr);
            case GENSIO_EVENT_SER_DATASIZE:
                if (asked) dataSize_ = asked;
                return sergensio_datasize(sio, dataSize_, nullptr, nullptr);
            case GENSIO_EVENT_SER_PARITY:
                if (asked) parity_ = asked;
                return sergensio_parity(sio, parity_, nullptr, nullptr);
            case GENSIO_EVENT_SER_STOPBITS:
                if (asked) stopBits_ = asked;
                return sergensio_stopbits(sio, stopBits_, nullptr, nullptr);
            case GENSIO_EVENT_SER_FLOWCONTROL:
                return sergensio_flowcontrol(sio, SERGENSIO_FLOWCONTROL_NONE, nullptr, nullptr);
            case GENSIO_EVENT_SER_IFLOWCONTROL:
                return sergensio_iflowcontrol(sio, SERGENSIO_FLOWCONTROL_NONE, nullptr, nullptr);
            case GENSIO_EVENT_SER_SBREAK: return sergensio_sbreak(sio, SERGENSIO_BREAK_OFF, nullptr, nullptr);
            case GENSIO_EVENT_SER_DTR:
            case GENSIO_EVENT_SER_RTS: {
                const bool dtr = event == GENSIO_EVENT_SER_DTR;
                bool& state = dtr ? dtr_ : rts_;
                // 1 on, 2 off, in both requests.
                if (asked == SERGENSIO_DTR_ON || asked == SERGENSIO_DTR_OFF) {
                    state = asked == SERGENSIO_DTR_ON;
                    ClientInput in;
                    in.kind = ClientInput::Kind::Line;
                    in.line = dtr ? Line::Dtr : Line::Rts;
                    in.on = state;
                    Queue(std::move(in));
                }
                const unsigned now = state ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF;
                return dtr ? sergensio_dtr(sio, now, nullptr, nullptr) : sergensio_rts(sio, now, nullptr, nullptr);
            }
            case GENSIO_EVENT_SER_SIGNATURE:
                return sergensio_signature(sio, kSignature, static_cast<unsigned>(std::strlen(kSignature)), nullptr,
                                           nullptr);
            default: return GE_NOTSUP;
        }
    }

    static int OnEvent(gensio* io, void* data, int event, int err, unsigned char* buf, gensiods* buflen,
                       const char* const*) {
        auto* self = static_cast<NetFace*>(data);
        switch (event) {
            case GENSIO_EVENT_READ:
                if (err) {
                    self->Drop(io);
                } else if (buf && buflen && *buflen) {
                    ClientInput in;
                    in.bytes.assign(buf, buf + *buflen);
                    in.baud = self->baud_;
                    self->Queue(std::move(in));
                }
                return 0;
            case GENSIO_EVENT_WRITE_READY: self->SendQueued(); return 0;
            // Masks, flow control and discards: a chip keeps nothing back
            // that they would concern.
            case GENSIO_EVENT_SER_MODEMSTATE:
            case GENSIO_EVENT_SER_LINESTATE:
            case GENSIO_EVENT_SER_FLOW_STATE:
            case GENSIO_EVENT_SER_FLUSH:
            case GENSIO_EVENT_SER_SYNC: return 0;
            default: return self->Setting(io, event, Asked(buf));
        }
    }

    std::ostream& err_;
    std::string url_;
    gensio_os_funcs* os_ = nullptr;
    gensio_waiter* waiter_ = nullptr;
    gensio_accepter* acc_ = nullptr;
    std::thread loop_;
    std::atomic<bool> stop_{false};
    int notify_[2] = {-1, -1};

    // The library's thread only.
    gensio* io_ = nullptr;
    std::vector<uint8_t> sending_;
    unsigned baud_ = 9600, dataSize_ = 8, parity_ = SERGENSIO_PARITY_NONE, stopBits_ = 1;
    // The lines stay as the last client left them, as on a board that stays
    // powered between runs.
    bool dtr_ = true, rts_ = false;

    // Shared with the serving loop.
    std::mutex mutex_;
    std::vector<ClientInput> inbox_;
    std::vector<uint8_t> outbox_;
    bool connected_ = false;
};

}  // namespace

int RunRfc2217Server(ServerConfig config, std::ostream& out, std::ostream& err) {
    if (config.chip.mode == Mode::Lite && !LoadFirmware(config, err)) return 1;
    ServingLoop loop(config, err);
    if (!loop.Prepare() || !InstallStopSignals(err)) return 1;

    NetFace face(err);
    std::string error;
    if (!face.Start(config.listenHost, config.listenPort, error)) {
        err << "vireo-sim: " << error << "\n";
        return 1;
    }
    out << face.Url() << std::endl;
    loop.Serve(face);
    loop.Finish();
    return 0;
}

}  // namespace sim
