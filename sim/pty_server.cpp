#include "sim/pty_server.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "sim/serving_loop.h"

namespace sim {

namespace {

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

// The terminal pair. The slave stays open here so that the master never sees
// a hang-up when the client closes, and so that the client's line settings
// can be read. A pseudo-terminal has no modem lines.
class Pty final : public ClientFace {
public:
    ~Pty() override {
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    bool Open(std::string& error) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        const char* name = ptsname(master_);
        if (!name) {
            error = "no pseudo-terminal name";
            return false;
        }
        path_ = name;
        slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0) {
            error = "cannot open " + path_ + ": " + std::strerror(errno);
            return false;
        }
        termios tio{};
        tcgetattr(slave_, &tio);
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
        tio.c_cflag |= CS8;
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(slave_, TCSANOW, &tio);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }

    const std::string& Path() const { return path_; }

    pollfd PollFor(bool blocked) const override {
        return {master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
    }

    std::vector<ClientInput> Take() override {
        uint8_t buf[4096];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) return {};
        ClientInput in;
        in.bytes.assign(buf, buf + n);
        in.baud = HostBaud();
        return {in};
    }

    size_t Send(const uint8_t* data, size_t count) override {
        const ssize_t n = write(master_, data, count);
        if (n >= 0) return static_cast<size_t>(n);
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : count;  // else nobody to hear it
    }

private:
    uint32_t HostBaud() const {
        termios tio{};
        if (tcgetattr(slave_, &tio) != 0) return 0;
        return RateOf(cfgetospeed(&tio));
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace

int RunPtyServer(ServerConfig config, std::ostream& out, std::ostream& err) {
    if (config.chip.mode == Mode::Lite && !LoadFirmware(config, err)) return 1;
    ServingLoop loop(config, err);
    if (!loop.Prepare() || !InstallStopSignals(err)) return 1;

    Pty pty;
    std::string error;
    if (!pty.Open(error)) {
        err << "vireo-sim: " << error << "\n";
        return 1;
    }
    if (!config.linkPath.empty()) {
        unlink(config.linkPath.c_str());
        if (symlink(pty.Path().c_str(), config.linkPath.c_str()) != 0) {
            err << "vireo-sim: cannot link " << config.linkPath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    out << pty.Path() << std::endl;

    loop.Serve(pty);
    loop.Finish();
    if (!config.linkPath.empty()) unlink(config.linkPath.c_str());
    return 0;
}

}  // namespace sim
