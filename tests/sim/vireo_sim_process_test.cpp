// vireo-sim as a program: its pseudo-terminal, in real time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Binary() {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/vireo-sim";
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::vector<char*> argv;
            std::string bin = Binary();
            argv.push_back(bin.data());
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        // The first line is the terminal's path.
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
        close(out[0]);
    }
    ~SimProcess() {
        if (fd_ >= 0) close(fd_);
        if (pid_ > 0 && !stopped_) Stop();
    }

    const std::string& Path() const { return path_; }

    bool Connect(speed_t speed = B9600) {
        fd_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return false;
        return SetSpeed(speed);
    }
    bool SetSpeed(speed_t speed) {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        return tcsetattr(fd_, TCSANOW, &t) == 0;
    }
    void Write(const Bytes& b) { ASSERT_EQ(write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    Bytes Read(size_t count, int timeoutMs = 3000) {
        Bytes got;
        pollfd p{fd_, POLLIN, 0};
        while (got.size() < count && poll(&p, 1, timeoutMs) > 0) {
            uint8_t buf[512];
            ssize_t n = read(fd_, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    // SIGTERM; the exit status.
    int Stop() {
        stopped_ = true;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool stopped_ = false;
    std::string path_;
};

Bytes Wake() {
    Bytes b(17, 0x00);
    b.push_back(0xB0);
    return b;
}

TEST(VireoSimProcess, ServesStatusOnItsTerminalAndLogs) {
    std::string dir = kvtest::TestFolder("sim") + "/";
    std::string link = dir + "vireo_sim_link", log = dir + "vireo_sim.log";
    SimProcess sim({"--link", link, "--log", log});
    ASSERT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u) << sim.Path();
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(sim.Path(), target);

    ASSERT_TRUE(sim.Connect());
    sim.Write(Wake());
    EXPECT_EQ(sim.Read(1), Bytes{0xB0});
    sim.Write({0x70});
    EXPECT_EQ(sim.Read(2), (Bytes{0x80, 0x00}));
    // Switch to 38400: a byte sent at the old rate afterwards is not understood.
    sim.Write({0xB2});
    EXPECT_EQ(sim.Read(1), Bytes{0xB2});
    sim.Write({0x70});
    EXPECT_TRUE(sim.Read(2, 300).empty());
    ASSERT_TRUE(sim.SetSpeed(B38400));
    sim.Write({0xB2});
    EXPECT_EQ(sim.Read(1), Bytes{0xB2});

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link is removed at exit";
    std::string text = ReadFile(log);
    EXPECT_EQ(text.rfind("00 9600\n", 0), 0u);
    EXPECT_NE(text.find("B0 9600\n70 9600\nB2 9600\n70 9600 x\nB2 38400\n"), std::string::npos) << text;
}

TEST(VireoSimProcess, LoadsProgramsAndDumpsItsFlash) {
    std::string dir = kvtest::TestFolder("sim") + "/";
    std::string image = dir + "vireo_sim_in.mot", dump = dir + "vireo_sim_out.mot";
    std::ofstream(image) << "S2080C00000102030ADB\nS804000000FB\n";
    SimProcess sim(
        {"--mode", "bootloader", "--timing", "none", "--load", image, "--dump", dump, "--dump-range", "0C0000-0CFFFF"});
    ASSERT_TRUE(sim.Connect());
    sim.Write(Wake());
    ASSERT_EQ(sim.Read(1), Bytes{0xB0});
    sim.Write({0xFF, 0x00, 0x0C});
    Bytes page = sim.Read(256);
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ((Bytes{page[0], page[1], page[2], page[3], page[4]}), (Bytes{0x01, 0x02, 0x03, 0x0A, 0xFF}));
    Bytes frame{0x41, 0x01, 0x0C};
    frame.resize(3 + 256, 0xFF);
    frame[3] = 0x00;
    sim.Write(frame);
    sim.Write({0x70});
    EXPECT_EQ(sim.Read(2), (Bytes{0x80, 0x00}));
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ReadFile(dump),
              "S00C0000766972656F2D73696D58\n"
              "S2080C00000102030ADB\n"
              "S2050C010000ED\n"
              "S804000000FB\n");
}

TEST(VireoSimProcess, SequencerNeedsItsFirmwareAndRejectsBadOptions) {
    SimProcess lite({"--mode", "lite"});
    ASSERT_TRUE(lite.Connect());
    Bytes wake(16, 0x00);
    wake.push_back(0xB0);
    lite.Write(wake);
    EXPECT_EQ(lite.Read(2), (Bytes{0xB0, 0x11}));
    EXPECT_EQ(lite.Stop(), 0);

    std::string cmd = Binary() + " --mode lite --firm /nonexistent/firm.mot >/dev/null 2>&1";
    EXPECT_NE(std::system(cmd.c_str()), 0);
    cmd = Binary() + " --mcu z80 >/dev/null 2>&1";
    EXPECT_NE(std::system(cmd.c_str()), 0);
}

}  // namespace

#include "platform/serial_device.h"

namespace {

// The program's own serial device on the simulator's terminal: the rate it
// sets is the rate the chip hears.
TEST(VireoSimProcess, PlatformSerialDeviceTalksToIt) {
    SimProcess sim({});
    auto dev = plat::MakeLinuxSerialDevice();
    ASSERT_TRUE(dev->Open(sim.Path()));
    ASSERT_TRUE(dev->SetLine({9600, 8, 0, 0}));
    auto exchange = [&](const Bytes& out, size_t want) {
        EXPECT_EQ(dev->Write(out.data(), out.size()), out.size());
        Bytes got(want);
        size_t have = 0;
        for (int i = 0; i < 30 && have < want; ++i) {
            dev->WaitForInput(static_cast<uint32_t>(have), 100);
            have += dev->ReadQueued(got.data() + have, want - have);
        }
        got.resize(have);
        return got;
    };
    EXPECT_EQ(exchange(Wake(), 1), Bytes{0xB0});
    EXPECT_EQ(exchange({0xB3}, 1), Bytes{0xB3});
    ASSERT_TRUE(dev->SetLine({57600, 8, 0, 0}));
    EXPECT_EQ(exchange({0xB3}, 1), Bytes{0xB3});
    EXPECT_EQ(exchange({0x70}, 2), (Bytes{0x80, 0x00}));
    dev->Close();
    EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
