#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "platform/wait_hook.h"
#include "tests/platform/cpu_time.h"
#include "tests/platform/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The device opens the slave end of a real pseudo-terminal; the test plays
// the board on the master end.
class PtyDevice : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        char name[256];
        ASSERT_EQ(ptsname_r(master_, name, sizeof name), 0);
        slavePath_ = name;
        termios t{};
        ASSERT_EQ(tcgetattr(master_, &t), 0);
        cfmakeraw(&t);
        ASSERT_EQ(tcsetattr(master_, TCSANOW, &t), 0);
        device_ = plat::MakeLinuxSerialDevice();
        ASSERT_TRUE(device_->Open(slavePath_));
    }

    void TearDown() override {
        if (device_) {
            EXPECT_TRUE(device_->Close());
        }
        CloseMaster();
    }

    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

    void BoardSends(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    std::vector<uint8_t> BoardReceives(size_t count, int timeoutMs = 2000) {
        std::vector<uint8_t> got;
        auto start = Clock::now();
        while (got.size() < count && MsSince(start) < timeoutMs) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            uint8_t buf[4096];
            ssize_t n = read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    // The channel's way of waiting: status, then a wait slice, until enough is queued.
    plat::QueueStatus WaitQueued(uint32_t count, int timeoutMs = 2000) {
        plat::QueueStatus st;
        auto start = Clock::now();
        while (device_->Status(st) && st.queued < count && !st.lineError && MsSince(start) < timeoutMs)
            device_->WaitForInput(st.queued, 20);
        return st;
    }

    int master_ = -1;
    std::string slavePath_;
    std::unique_ptr<plat::ISerialDevice> device_;
};

TEST(DevicePath, PortNamesMapToDevices) {
    const std::pair<const char*, const char*> table[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/dev/ttyS1"},
        {"COM4", "/dev/ttyS3"},
        {"COM10", "/dev/ttyS9"},
        {"com3", "/dev/ttyS2"},
        {" COM1 ", "/dev/ttyS0"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/ttyACM1", "/dev/ttyACM1"},
        {"/tmp/x", "/tmp/x"},
        {"COM0", "/dev/COM0"},
        {"COMX", "/dev/COMX"},
        {"serial/by-id/a", "/dev/serial/by-id/a"},
        {"", ""},
        {"   ", ""},
    };
    for (const auto& [port, path] : table) EXPECT_EQ(plat::DevicePathForPort(port), path) << "port '" << port << "'";
}

TEST(SerialOpen, RefusesWhatIsNotAnOpenableTerminal) {
    kvtest::TempFolder dir;
    std::string file = dir / "plain";
    { std::ofstream(file) << "x"; }
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Each refusal says why, naming the device.
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/kv-no-such-port", "/dev/kv-no-such-port: No such file or directory.\nIs the adapter plugged in?"},
        {"/dev/null", "/dev/null: not a serial port."},
        {file, file + ": not a serial port."},
        {fifo, fifo + ": not a serial port."},
        {"", "No port name was given."},
    };
    for (const auto& [name, message] : cases) {
        auto device = plat::MakeLinuxSerialDevice();
        EXPECT_FALSE(device->Open(name)) << name;
        EXPECT_FALSE(device->IsOpen());
        EXPECT_EQ(device->OpenError().rfind(message, 0), 0u) << device->OpenError();
    }
}

TEST(SerialOpen, PermissionRefusalNamesTheGroupToJoin) {
    // Root is never refused, so the text is checked on its own.
    const std::string text = plat::DescribeOpenFailure("/dev/ttyUSB0", EACCES, "uucp");
    EXPECT_EQ(text.rfind("/dev/ttyUSB0: Permission denied.\n", 0), 0u) << text;
    EXPECT_NE(text.find("sudo usermod -aG uucp $USER"), std::string::npos) << text;
    EXPECT_NE(plat::DescribeOpenFailure("/dev/ttyS0", EPERM).find("\"dialout\""), std::string::npos);
}

TEST(SerialOpen, ClosedDeviceAnswersFailureEverywhere) {
    auto device = plat::MakeLinuxSerialDevice();
    plat::QueueStatus st{7, true};
    EXPECT_FALSE(device->Status(st));
    plat::LineSettings line{9600, 8, 0, 0};
    EXPECT_FALSE(device->GetLine(line));
    EXPECT_EQ(line.baud, 0u);
    EXPECT_EQ(line.byteSize, 0u);
    EXPECT_FALSE(device->SetLine({9600, 8, 0, 0}));
    uint8_t b = 1;
    EXPECT_EQ(device->Write(&b, 1), 0u);
    EXPECT_EQ(device->ReadQueued(&b, 1), 0u);
    EXPECT_FALSE(device->RaiseDtr());
    device->PurgeInput();
    EXPECT_TRUE(device->Close());
    EXPECT_TRUE(device->Close());
}

TEST_F(PtyDevice, ReadsExactlyTheQueuedBytes) {
    BoardSends({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    plat::QueueStatus st = WaitQueued(10);
    EXPECT_EQ(st.queued, 10u);
    EXPECT_FALSE(st.lineError);

    uint8_t buf[64] = {};
    EXPECT_EQ(device_->ReadQueued(buf, 4), 4u);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
    ASSERT_TRUE(device_->Status(st));
    EXPECT_EQ(st.queued, 6u);

    EXPECT_EQ(device_->ReadQueued(buf, sizeof buf), 6u);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 6), (std::vector<uint8_t>{5, 6, 7, 8, 9, 10}));

    // Nothing queued: the read returns at once.
    auto start = Clock::now();
    EXPECT_EQ(device_->ReadQueued(buf, sizeof buf), 0u);
    EXPECT_LT(MsSince(start), 50.0);
}

TEST_F(PtyDevice, LargeReplyIsReadWhole) {
    // More than a pseudo-terminal hands over in one piece.
    std::vector<uint8_t> page(3000);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7);
    BoardSends(page);
    ASSERT_EQ(WaitQueued(3000).queued, 3000u);
    std::vector<uint8_t> got(3000);
    EXPECT_EQ(device_->ReadQueued(got.data(), got.size()), 3000u);
    EXPECT_EQ(got, page);
}

TEST_F(PtyDevice, BinaryBytesPassUnchangedBothWays) {
    // Raw mode: no CR/LF translation, no flow-control or signal characters.
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    EXPECT_EQ(device_->Write(all.data(), all.size()), all.size());
    EXPECT_EQ(BoardReceives(256), all);

    BoardSends(all);
    ASSERT_EQ(WaitQueued(256).queued, 256u);
    std::vector<uint8_t> got(256);
    EXPECT_EQ(device_->ReadQueued(got.data(), got.size()), 256u);
    EXPECT_EQ(got, all);
}

TEST_F(PtyDevice, WaitForInputReturnsEarlyWhenBytesArrive) {
    std::thread board([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        uint8_t b = 0xB0;
        ASSERT_EQ(write(master_, &b, 1), 1);
    });
    auto start = Clock::now();
    device_->WaitForInput(0, 3000);
    double waited = MsSince(start);
    board.join();
    EXPECT_GE(waited, 80.0);
    EXPECT_LT(waited, 1500.0);
    EXPECT_EQ(WaitQueued(1).queued, 1u);
}

TEST_F(PtyDevice, WaitForInputSleepsInsteadOfSpinning) {
    // Silence: the whole slice passes, asleep.
    double cpu = kvtest::ThreadCpuMs();
    auto start = Clock::now();
    device_->WaitForInput(0, 300);
    EXPECT_GE(MsSince(start), 290.0);
    EXPECT_LT(kvtest::ThreadCpuMs() - cpu, 20.0);

    // A partial reply waiting: poll would report it at once, so the wait
    // naps briefly rather than returning straight away or taking the whole slice.
    BoardSends({0x11});
    ASSERT_EQ(WaitQueued(1).queued, 1u);
    start = Clock::now();
    device_->WaitForInput(1, 1000);
    double waited = MsSince(start);
    EXPECT_GE(waited, 1.0);
    EXPECT_LT(waited, 200.0);
}

// A reply longer than the terminal's VMIN can count: the wait ends when the
// last byte is in, not before and not a nap later; the bytes taken aside
// while waiting come back first, in order, and a purge drops them too.
TEST_F(PtyDevice, WaitForCountWakesWhenTheWholeReplyIsIn) {
    std::vector<uint8_t> reply(256);
    for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i * 3 + 1);
    BoardSends({reply.begin(), reply.begin() + 100});
    ASSERT_EQ(WaitQueued(100).queued, 100u);
    std::thread board([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        BoardSends({reply.begin() + 100, reply.end() - 1});
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        BoardSends({reply.back()});
    });
    const auto start = Clock::now();
    plat::QueueStatus st;
    while (device_->Status(st) && st.queued < 256 && MsSince(start) < 2000) {
        ASSERT_TRUE(device_->WaitForCount(256, st.queued, 1000));
    }
    const double waited = MsSince(start);
    board.join();
    EXPECT_EQ(st.queued, 256u);
    EXPECT_GE(waited, 280.0);
    EXPECT_LT(waited, 800.0);
    std::vector<uint8_t> got(256);
    ASSERT_EQ(device_->ReadQueued(got.data(), got.size()), 256u);
    EXPECT_EQ(got, reply);

    // A silent line: the whole wait passes, asleep; bytes taken aside are
    // purged with the rest.
    BoardSends({reply.begin(), reply.begin() + 10});
    ASSERT_EQ(WaitQueued(10).queued, 10u);
    const double cpu = kvtest::ThreadCpuMs();
    const auto silent = Clock::now();
    EXPECT_TRUE(device_->WaitForCount(300, 10, 200));
    EXPECT_GE(MsSince(silent), 190.0);
    EXPECT_LT(kvtest::ThreadCpuMs() - cpu, 20.0);
    device_->PurgeInput();
    ASSERT_TRUE(device_->Status(st));
    EXPECT_EQ(st.queued, 0u);
}

// A window front end keeps its windows painted from the hook: every wait on
// the device gives it a turn, and a long sleep one turn per slice at least.
TEST_F(PtyDevice, WaitsGiveTheWaitHookItsTurn) {
    struct Counter : plat::IWaitHook {
        int calls = 0;
        void Waiting() override { ++calls; }
    } hook;
    plat::SetWaitHook(&hook);
    device_->WaitForInput(0, 5);
    EXPECT_EQ(hook.calls, 1);
    hook.calls = 0;
    auto clock = plat::MakeSystemClock();
    const auto start = Clock::now();
    clock->SleepMs(200);
    EXPECT_GE(MsSince(start), 199.0);
    // A loaded machine oversleeps a slice now and then, so half of them is enough.
    EXPECT_GE(hook.calls, int(200 / plat::kWaitHookSliceMs) / 2);
    plat::SetWaitHook(nullptr);
    hook.calls = 0;
    clock->SleepMs(30);
    device_->WaitForInput(0, 5);
    EXPECT_EQ(hook.calls, 0);
}

TEST_F(PtyDevice, SecondOpenIsRefusedUntilTheFirstCloses) {
    auto second = plat::MakeLinuxSerialDevice();
    EXPECT_FALSE(second->Open(slavePath_));
    // Busy: which lock keeps it (root passes TIOCEXCL and meets the flock,
    // whose holder is named).
    const std::string why = second->OpenError();
    EXPECT_EQ(why.rfind(slavePath_ + ": ", 0), 0u) << why;
    if (geteuid() == 0) {
        EXPECT_NE(why.find("flock on " + slavePath_ + "): process " + std::to_string(getpid())), std::string::npos)
            << why;
    } else {
        EXPECT_NE(why.find("exclusive mode (TIOCEXCL)"), std::string::npos) << why;
    }
    EXPECT_FALSE(device_->Open(slavePath_)) << "an open device does not open again";
    EXPECT_TRUE(device_->Close());
    EXPECT_TRUE(second->Open(slavePath_));
    EXPECT_TRUE(second->Close());
}

TEST_F(PtyDevice, DescriptorDoesNotLeakIntoStartedPrograms) {
    // The companion opens the port itself after the exec.
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec).string() != slavePath_) continue;
        found = true;
        int fd = std::stoi(entry.path().filename().string());
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
    EXPECT_TRUE(found);
}

TEST_F(PtyDevice, PurgeInputDropsQueuedBytesOnly) {
    BoardSends({1, 2, 3, 4, 5});
    ASSERT_EQ(WaitQueued(5).queued, 5u);
    device_->PurgeInput();
    plat::QueueStatus st;
    ASSERT_TRUE(device_->Status(st));
    EXPECT_EQ(st.queued, 0u);
    EXPECT_FALSE(st.lineError);

    BoardSends({9});
    ASSERT_EQ(WaitQueued(1).queued, 1u);
    uint8_t b = 0;
    EXPECT_EQ(device_->ReadQueued(&b, 1), 1u);
    EXPECT_EQ(b, 9);
}

TEST_F(PtyDevice, LineSettingsRoundTrip) {
    const plat::LineSettings table[] = {
        {9600, 8, 0, 0},   {19200, 8, 0, 0}, {38400, 8, 0, 0},  {57600, 8, 0, 0},
        {115200, 8, 0, 0}, {1200, 8, 0, 2},  {230400, 8, 0, 0}, {9600, 8, 0, 0},
    };
    for (const auto& want : table) {
        ASSERT_TRUE(device_->SetLine(want)) << want.baud;
        plat::LineSettings got;
        ASSERT_TRUE(device_->GetLine(got));
        EXPECT_EQ(got.baud, want.baud);
        EXPECT_EQ(got.byteSize, want.byteSize) << want.baud;
        EXPECT_EQ(got.parity, want.parity) << want.baud;
        EXPECT_EQ(got.stopBits, want.stopBits) << want.baud;
    }
}

TEST_F(PtyDevice, SettingsTheDriverDoesNotTakeAreRefused) {
    // A pseudo-terminal keeps 8 bits without parity whatever is asked; a
    // real port takes these. Either way GetLine tells what is in force.
    const plat::LineSettings table[] = {{1200, 7, 2, 2}, {4800, 5, 0, 1}, {2400, 6, 1, 0}};
    for (const auto& want : table) {
        ASSERT_TRUE(device_->SetLine({9600, 8, 0, 0}));
        bool taken = device_->SetLine(want);
        plat::LineSettings expected = taken ? want : plat::LineSettings{9600, 8, 0, 0};
        plat::LineSettings got;
        ASSERT_TRUE(device_->GetLine(got));
        EXPECT_EQ(got.baud, expected.baud);
        EXPECT_EQ(got.byteSize, expected.byteSize);
        EXPECT_EQ(got.parity, expected.parity);
        EXPECT_EQ(got.stopBits, expected.stopBits);
    }
}

TEST_F(PtyDevice, UnsupportedLineSettingsChangeNothing) {
    ASSERT_TRUE(device_->SetLine({19200, 8, 0, 0}));
    const plat::LineSettings refused[] = {
        {12345, 8, 0, 0}, {0, 8, 0, 0},    {9600, 9, 0, 0}, {9600, 4, 0, 0},
        {9600, 8, 3, 0},  {9600, 8, 0, 3}, {9600, 8, 0, 1}, {9600, 5, 0, 2},
    };
    for (const auto& bad : refused) {
        EXPECT_FALSE(device_->SetLine(bad))
            << bad.baud << " " << int(bad.byteSize) << " " << int(bad.parity) << " " << int(bad.stopBits);
        plat::LineSettings got;
        ASSERT_TRUE(device_->GetLine(got));
        EXPECT_EQ(got.baud, 19200u);
        EXPECT_EQ(got.byteSize, 8u);
        EXPECT_EQ(got.parity, 0u);
        EXPECT_EQ(got.stopBits, 0u);
    }
}

TEST_F(PtyDevice, RaiseDtrOnAPseudoTerminalIsNoError) { EXPECT_TRUE(device_->RaiseDtr()); }

TEST_F(PtyDevice, StalledWriteGivesUpInBoundedTime) {
    // The board never reads: the write must come back with what went out.
    std::vector<uint8_t> block(4u << 20, 0x55);
    auto start = Clock::now();
    size_t written = device_->Write(block.data(), block.size());
    double took = MsSince(start);
    EXPECT_LT(written, block.size());
    EXPECT_GT(written, 0u);
    EXPECT_LT(took, 4000.0);
}

TEST_F(PtyDevice, VanishedDeviceIsALineErrorAndWaitsDoNotSpin) {
    BoardSends({1});
    ASSERT_EQ(WaitQueued(1).queued, 1u);
    CloseMaster();  // the adapter is pulled out

    plat::QueueStatus st;
    ASSERT_TRUE(device_->Status(st));
    EXPECT_TRUE(st.lineError);
    uint8_t b = 0;
    device_->ReadQueued(&b, 1);
    EXPECT_EQ(device_->Write(&b, 1), 0u);

    // A channel read loop keeps polling a dead device: it must stay cheap.
    double cpu = kvtest::ThreadCpuMs();
    auto start = Clock::now();
    int errors = 0, rounds = 0;
    while (MsSince(start) < 1000.0) {
        ASSERT_TRUE(device_->Status(st));
        errors += st.lineError ? 1 : 0;
        ++rounds;
        device_->WaitForInput(st.queued, 5);
    }
    double used = kvtest::ThreadCpuMs() - cpu;
    EXPECT_EQ(errors, rounds);
    EXPECT_LT(used, 30.0) << rounds << " rounds";
    EXPECT_LT(rounds, 400) << "each wait slice must pass";
    EXPECT_TRUE(device_->Close());
    EXPECT_FALSE(device_->IsOpen());
}

// Takes 5 s of real time: a whole read time-out of silence. Each timer
// wake-up costs some 25 us of CPU on a small virtual machine, so the slice
// is 10 ms; the point is that no slice is cut short.
TEST_F(PtyDevice, SilentFiveSecondWaitCostsLittleCpu) {
    double cpu = kvtest::ThreadCpuMs();
    auto start = Clock::now();
    plat::QueueStatus st;
    int rounds = 0;
    while (MsSince(start) < 5000.0) {
        ASSERT_TRUE(device_->Status(st));
        ASSERT_EQ(st.queued, 0u);
        ASSERT_FALSE(st.lineError);
        device_->WaitForInput(st.queued, 10);
        ++rounds;
    }
    double used = kvtest::ThreadCpuMs() - cpu;
    EXPECT_LE(rounds, 501);
    std::cout << "[ cpu ] 5 s silent wait used " << used << " ms CPU\n";
    RecordProperty("cpu_ms", std::to_string(used));
    EXPECT_LT(used, 50.0);
}

}  // namespace
