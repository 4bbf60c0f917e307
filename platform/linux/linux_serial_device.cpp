#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/linux/baud_table.h"
#include "platform/linux/open_failure.h"
#include "platform/net_port.h"
#include "platform/serial_device.h"
#include "platform/wait_hook.h"

// Writes to a terminal never raise SIGPIPE (only pipes and sockets do), and
// Open refuses anything that is not a terminal, so no signal handling is needed.

namespace plat {
namespace {

constexpr uint32_t kWriteBudgetMs = 2000;     // longest a stalled write may hold the caller
constexpr uint32_t kDrainBudgetMs = 2000;     // longest SetLine waits for pending output
constexpr uint32_t kPartialReplySliceMs = 2;  // nap while a partial reply is queued
constexpr uint32_t kMostVmin = 255;           // VMIN is one byte

uint64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void Nap(uint64_t ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {}
}

// poll() on one descriptor for at most ms, resumed after signals. Returns
// the revents, 0 on time-out, -1 on failure.
int PollFor(int fd, short events, uint64_t ms) {
    const uint64_t deadline = NowMs() + ms;
    for (;;) {
        uint64_t now = NowMs();
        int wait = now >= deadline ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, INT32_MAX));
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, wait);
        if (r > 0) return p.revents;
        if (r == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

constexpr short kHangup = POLLHUP | POLLERR | POLLNVAL;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class LinuxSerialDevice final : public ISerialDevice {
public:
    ~LinuxSerialDevice() override { Close(); }

    bool Open(const std::string& portName) override {
        goneReason_.clear();
        if (fd_ >= 0) return false;
        openError_.clear();
        const std::string path = DevicePathForPort(portName);
        if (path.empty()) {
            openError_ = "No port name was given.";
            return false;
        }
        int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            openError_ = DescribeOpenFailure(path, err, err == EACCES || err == EPERM ? DeviceGroup(path) : "");
            return false;
        }
        // Only a terminal: a FIFO or a file named by mistake would block or mislead.
        // The advisory lock keeps out cooperating programs (and root, whom
        // TIOCEXCL does not stop); TIOCEXCL keeps out everyone else.
        if (!isatty(fd)) {
            openError_ = DescribeOpenFailure(path, ENOTTY);
            close(fd);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            openError_ = DescribeOpenFailure(path, err, "", err == EWOULDBLOCK ? LockHolder(fd) : "");
            close(fd);
            return false;
        }
        exclusive_ = ioctl(fd, TIOCEXCL) == 0;
        if (!MakeRaw(fd)) {
            openError_ = DescribeOpenFailure(path, errno);
            if (exclusive_) ioctl(fd, TIOCNXCL);
            close(fd);
            return false;
        }
        fd_ = fd;
        countersWork_ = true;
        pendingError_ = false;
        errorBase_ = 0;
        errorBase_ = ErrorCount();
        return true;
    }

    bool Close() override {
        if (fd_ < 0) return true;
        if (exclusive_) ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
        // Linux frees the descriptor even when close reports an error, so
        // the device counts as closed either way.
        close(fd_);
        fd_ = -1;
        exclusive_ = false;
        held_.clear();
        return true;
    }

    bool IsOpen() const override { return fd_ >= 0; }
    std::string OpenError() const override { return openError_; }

    size_t Write(const uint8_t* data, size_t count) override {
        if (fd_ < 0 || !data) return 0;
        size_t done = 0;
        const uint64_t deadline = NowMs() + kWriteBudgetMs;
        while (done < count) {
            ssize_t n = write(fd_, data + done, count - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                NoteError(errno);  // the device went away (EIO) or refuses
                break;
            }
            // The output buffer is full: wait for room, but not for ever.
            uint64_t now = NowMs();
            if (now >= deadline) break;
            int r = PollFor(fd_, POLLOUT, deadline - now);
            if (r <= 0 || (r & kHangup)) break;
        }
        // The write is synchronous: it returns once the bytes are on the
        // wire, so that the pauses callers make after a frame count from its
        // end (a page frame takes 270 ms at 9600 bps).
        termios line{};
        if (done > 0 && tcgetattr(fd_, &line) == 0) DrainOutput(line);
        return done;
    }

    size_t ReadQueued(uint8_t* data, size_t count) override {
        if (fd_ < 0 || !data) return 0;
        const size_t aside = std::min(count, held_.size());
        std::copy_n(held_.begin(), aside, data);
        held_.erase(held_.begin(), held_.begin() + static_cast<long>(aside));
        return aside + ReadTerminal(data + aside, count - aside);
    }

    // Reads up to count bytes queued in the terminal.
    size_t ReadTerminal(uint8_t* data, size_t count) {
        // A pseudo-terminal may hand over queued input in pieces: read until
        // the request is met or nothing more is there.
        size_t done = 0;
        while (done < count) {
            ssize_t n = read(fd_, data + done, count - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) NoteError(errno);
            break;
        }
        return done;
    }

    bool Status(QueueStatus& status) override {
        status = {};
        if (fd_ < 0) return false;
        bool error = pendingError_;
        pendingError_ = false;
        int queued = 0;
        if (ioctl(fd_, FIONREAD, &queued) == 0)
            status.queued = static_cast<uint32_t>(std::max(queued, 0) + held_.size());
        else
            error = true;
        uint64_t errors = ErrorCount();
        if (errors != errorBase_) error = true;
        errorBase_ = errors;
        // A device that was unplugged or hung up.
        int r = PollFor(fd_, POLLIN, 0);
        if (r < 0 || (r & kHangup)) {
            error = true;
            if (r > 0 && (r & (POLLHUP | POLLNVAL)) && goneReason_.empty()) goneReason_ = "hung up";
        }
        status.lineError = error;
        status.gone = !goneReason_.empty();
        return true;
    }

    void PurgeInput() override {
        if (fd_ < 0) return;
        tcflush(fd_, TCIFLUSH);
        held_.clear();
        pendingError_ = false;
        errorBase_ = ErrorCount();
    }

    bool GetLine(LineSettings& line) override {
        line = {0, 0, 0, 0};
        termios t{};
        if (fd_ < 0 || tcgetattr(fd_, &t) != 0) return false;
        line.baud = BaudForSpeedCode(cfgetospeed(&t));
        switch (t.c_cflag & CSIZE) {
            case CS5: line.byteSize = 5; break;
            case CS6: line.byteSize = 6; break;
            case CS7: line.byteSize = 7; break;
            default: line.byteSize = 8; break;
        }
        line.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
        // Two stop-bit periods at 5 data bits are one and a half on the wire.
        line.stopBits = (t.c_cflag & CSTOPB) ? (line.byteSize == 5 ? 1 : 2) : 0;
        return true;
    }

    bool SetLine(const LineSettings& line) override {
        termios old{};
        if (fd_ < 0 || tcgetattr(fd_, &old) != 0) return false;
        termios t = old;
        if (!Apply(line, t)) return false;
        // Bytes still in the output queue go out at the rate they were written for.
        DrainOutput(old);
        if (tcsetattr(fd_, TCSANOW, &t) != 0) {
            tcsetattr(fd_, TCSANOW, &old);
            return false;
        }
        // tcsetattr succeeds when any part was taken; check that all of it was.
        termios now{};
        if (tcgetattr(fd_, &now) != 0 || cfgetospeed(&now) != cfgetospeed(&t) ||
            (now.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) != (t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB))) {
            tcsetattr(fd_, TCSANOW, &old);
            return false;
        }
        return true;
    }

    bool RaiseDtr() override {
        if (fd_ < 0) return false;
        int bits = TIOCM_DTR;
        if (ioctl(fd_, TIOCMBIS, &bits) == 0) return true;
        // A pseudo-terminal or an adapter without modem lines has no DTR.
        return errno == ENOTTY || errno == EINVAL;
    }

    bool SetModemLine(ModemLine line, bool on) override {
        if (fd_ < 0) return false;
        int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
        return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
    }

    void WaitForInput(uint32_t queued, uint32_t maxMs) override {
        if (maxMs == 0) return;
        // The channel waits in short slices; each one gives the hook its turn.
        if (IWaitHook* hook = WaitHook()) hook->Waiting();
        if (fd_ < 0) {
            Nap(maxMs);
            return;
        }
        // With a partial reply queued, poll() would report input at once:
        // nap briefly instead so the caller's loop does not spin.
        if (queued > 0) {
            Nap(std::min(maxMs, kPartialReplySliceMs));
            return;
        }
        const uint64_t start = NowMs();
        int r = PollFor(fd_, POLLIN, maxMs);
        if (r < 0 || (r & kHangup)) {
            // A gone device reports at once; the caller sees the error in
            // Status, and must not loop here at full speed meanwhile.
            uint64_t spent = NowMs() - start;
            if (spent < maxMs) Nap(maxMs - spent);
        }
    }

private:
    bool WaitForCount(uint32_t count, uint32_t queued, uint32_t maxMs) override {
        // With VMIN set, poll() reports input only once that many bytes are
        // queued in the terminal: one wake-up at the end of the reply. VMIN
        // holds at most 255, so for a longer reply the bytes already there are
        // taken aside first (Status and ReadQueued count them in). Reads stay
        // non-blocking whatever VMIN says, and it goes back for every other wait.
        if (fd_ < 0 || maxMs == 0 || count <= queued) return false;
        if (IWaitHook* hook = WaitHook()) hook->Waiting();
        if (count - held_.size() > kMostVmin) {
            uint8_t chunk[kMostVmin];
            const size_t n = ReadTerminal(chunk, std::min<size_t>(sizeof chunk, count - held_.size() - 1));
            held_.insert(held_.end(), chunk, chunk + n);
        }
        const uint32_t target = std::min<uint32_t>(count - static_cast<uint32_t>(held_.size()), kMostVmin);
        termios t{};
        if (tcgetattr(fd_, &t) != 0) return false;
        const cc_t before = t.c_cc[VMIN];
        t.c_cc[VMIN] = static_cast<cc_t>(target);
        if (tcsetattr(fd_, TCSANOW, &t) != 0) return false;
        const int r = PollFor(fd_, POLLIN, maxMs);
        t.c_cc[VMIN] = before;
        tcsetattr(fd_, TCSANOW, &t);
        return r >= 0 && !(r & kHangup);  // else the caller's own wait, which does not spin
    }

    static bool MakeRaw(int fd) {
        termios t{};
        if (tcgetattr(fd, &t) != 0) return false;
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB | PARODD | CSIZE);
        t.c_cflag |= CS8;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        // Reads return at once with what is there; all waiting is done by WaitForInput.
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        return tcsetattr(fd, TCSANOW, &t) == 0;
    }

    static bool Apply(const LineSettings& line, termios& t) {
        auto speed = SpeedCodeForBaud(line.baud);
        if (!speed) return false;
        tcflag_t size;
        switch (line.byteSize) {
            case 5: size = CS5; break;
            case 6: size = CS6; break;
            case 7: size = CS7; break;
            case 8: size = CS8; break;
            default: return false;
        }
        tcflag_t parity;
        switch (line.parity) {
            case 0: parity = 0; break;
            case 1: parity = PARENB | PARODD; break;
            case 2: parity = PARENB; break;
            default: return false;
        }
        // One and a half stop bits exist only at 5 data bits, two only above.
        tcflag_t stop;
        switch (line.stopBits) {
            case 0: stop = 0; break;
            case 1:
                if (line.byteSize != 5) return false;
                stop = CSTOPB;
                break;
            case 2:
                if (line.byteSize == 5) return false;
                stop = CSTOPB;
                break;
            default: return false;
        }
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
        t.c_cflag |= size | parity | stop;
        return cfsetispeed(&t, *speed) == 0 && cfsetospeed(&t, *speed) == 0;
    }

    // Waits until the output queue is empty, at most as long as the queued
    // bytes take at `line`'s rate (plus a margin), never longer than the budget.
    void DrainOutput(const termios& line) {
        int pending = 0;
        if (ioctl(fd_, TIOCOUTQ, &pending) != 0 || pending <= 0) return;
        uint32_t baud = std::max<uint32_t>(BaudForSpeedCode(cfgetospeed(&line)), 50);
        uint64_t budget = static_cast<uint64_t>(pending) * 10u * 1000u / baud + 50u;
        const uint64_t deadline = NowMs() + std::min<uint64_t>(budget, kDrainBudgetMs);
        while (NowMs() < deadline) {
            Nap(1);
            if (ioctl(fd_, TIOCOUTQ, &pending) != 0 || pending <= 0) return;
        }
    }

    // Sum of the driver's line-error counters; drivers without counters
    // (pseudo-terminals) report none.
    uint64_t ErrorCount() {
        if (!countersWork_) return 0;
        serial_icounter_struct c{};
        if (ioctl(fd_, TIOCGICOUNT, &c) != 0) {
            if (errno == EIO || errno == ENODEV || errno == ENXIO)
                NoteError(errno);  // the device went away
            else
                countersWork_ = false;
            return errorBase_;
        }
        return static_cast<uint64_t>(static_cast<uint32_t>(c.frame)) + static_cast<uint32_t>(c.overrun) +
               static_cast<uint32_t>(c.parity) + static_cast<uint32_t>(c.brk) + static_cast<uint32_t>(c.buf_overrun);
    }

    std::string GoneReason() const override { return goneReason_; }

    // A failed read, write or query: errors that mean the device is gone
    // are kept with the system's word for them.
    void NoteError(int err) {
        pendingError_ = true;
        if ((err == EIO || err == ENODEV || err == ENXIO) && goneReason_.empty()) goneReason_ = std::strerror(err);
    }

    std::string goneReason_;
    int fd_ = -1;
    bool exclusive_ = false;
    std::string openError_;
    bool countersWork_ = false;
    bool pendingError_ = false;
    uint64_t errorBase_ = 0;
    // Input taken out of the terminal while waiting for a long reply; it
    // comes before the terminal's own in every count and read.
    std::vector<uint8_t> held_;
};

}  // namespace

std::string DevicePathForPort(const std::string& portName) {
    size_t b = 0, e = portName.size();
    while (b < e && IsBlank(portName[b])) ++b;
    while (e > b && IsBlank(portName[e - 1])) --e;
    const std::string name = portName.substr(b, e - b);
    if (name.empty()) return {};
    if (NetPortKindOf(name) != NetPortKind::None) return name;
    if (name.front() == '/') return name;
    // "COM<n>" (any case) is the n-th standard serial port.
    auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    if (name.size() > 3 && name.size() <= 8 && lower(name[0]) == 'c' && lower(name[1]) == 'o' &&
        lower(name[2]) == 'm' &&
        std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        unsigned long n = std::stoul(name.substr(3));
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + name;
}

std::unique_ptr<ISerialDevice> MakeTermiosSerialDevice() { return std::make_unique<LinuxSerialDevice>(); }

}  // namespace plat
