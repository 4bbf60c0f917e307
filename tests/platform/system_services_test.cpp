#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "tests/platform/temp_folder.h"

namespace {

// Runs with $XDG_RUNTIME_DIR pointing at a private folder.
class InstanceLock : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
        setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (old_)
            setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    kvtest::TempFolder dir_;
    std::optional<std::string> old_;
};

TEST_F(InstanceLock, SecondHolderIsRefusedUntilRelease) {
    auto first = plat::MakeFileInstanceLock();
    auto second = plat::MakeFileInstanceLock();
    ASSERT_TRUE(first->Acquire("KELVANE.exe"));
    EXPECT_TRUE(first->Held());
    EXPECT_TRUE(std::filesystem::exists(dir_ / "KELVANE.exe.lock"));

    EXPECT_FALSE(second->Acquire("KELVANE.exe"));
    EXPECT_FALSE(second->Held());
    EXPECT_TRUE(second->Acquire("kelvlite.exe")) << "the companion has its own lock";

    first->Release();
    EXPECT_FALSE(first->Held());
    auto third = plat::MakeFileInstanceLock();
    EXPECT_TRUE(third->Acquire("KELVANE.exe"));
    third.reset();  // the destructor releases
    EXPECT_TRUE(first->Acquire("KELVANE.exe"));
}

TEST_F(InstanceLock, HeldLockDoesNotSurviveAnExec) {
    auto lock = plat::MakeFileInstanceLock();
    ASSERT_TRUE(lock->Acquire("KELVANE.exe"));
    const std::string lockPath = dir_ / "KELVANE.exe.lock";
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec).string() != lockPath) continue;
        found = true;
        EXPECT_TRUE(fcntl(std::stoi(entry.path().filename().string()), F_GETFD) & FD_CLOEXEC);
    }
    EXPECT_TRUE(found);
}

TEST_F(InstanceLock, NamesThatAreNotFileNamesAreRefused) {
    auto lock = plat::MakeFileInstanceLock();
    EXPECT_FALSE(lock->Acquire(""));
    EXPECT_FALSE(lock->Acquire("../escape"));
    EXPECT_FALSE(lock->Held());
}

// What someone may plant at the lock's path: each is refused at once,
// never waited on (a FIFO) and never followed (a link).
TEST_F(InstanceLock, OnlyARegularFileOfTheUsersOwnIsLocked) {
    const std::string path = dir_ / "KELVANE.exe.lock";
    const std::string other = dir_ / "elsewhere";
    std::ofstream(other) << "x";
    struct Planted {
        const char* what;
        std::function<bool()> plant;
    } cases[] = {
        {"fifo", [&] { return mkfifo(path.c_str(), 0666) == 0; }},
        {"link", [&] { return symlink(other.c_str(), path.c_str()) == 0; }},
        {"dangling link", [&] { return symlink((dir_ / "none").c_str(), path.c_str()) == 0; }},
        {"folder", [&] { return mkdir(path.c_str(), 0700) == 0; }},
        {"another user's file (only root can make one)",
         [&] {
             std::ofstream(path) << "";
             return chown(path.c_str(), 65534, 65534) == 0;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what).find("only root") != std::string::npos && geteuid() != 0) continue;
        std::filesystem::remove_all(path);
        ASSERT_TRUE(c.plant());
        auto lock = plat::MakeFileInstanceLock();
        EXPECT_FALSE(lock->Acquire("KELVANE.exe"));
        EXPECT_FALSE(std::filesystem::exists(dir_ / "none"));
    }
    std::filesystem::remove_all(path);
    EXPECT_TRUE(plat::MakeFileInstanceLock()->Acquire("KELVANE.exe"));
}

// Without XDG_RUNTIME_DIR the lock lives in a private folder of the user's
// own inside the shared one, never in the shared folder itself.
TEST_F(InstanceLock, WithoutRuntimeFolderAPrivateFolderIsUsed) {
    unsetenv("XDG_RUNTIME_DIR");
    const std::string shared = dir_ / "tmp";
    ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
    const std::string mine = shared + "/kelvane-" + std::to_string(geteuid());

    auto lock = plat::MakeFileInstanceLock(shared);
    ASSERT_TRUE(lock->Acquire("KELVANE.exe"));
    struct stat st {};
    ASSERT_EQ(lstat(mine.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::exists(mine + "/KELVANE.exe.lock"));
    EXPECT_FALSE(plat::MakeFileInstanceLock(shared)->Acquire("KELVANE.exe"));
    lock->Release();

    // A folder opened to others, or made by someone else, is not used.
    ASSERT_EQ(chmod(mine.c_str(), 0777), 0);
    EXPECT_FALSE(plat::MakeFileInstanceLock(shared)->Acquire("KELVANE.exe"));
    ASSERT_EQ(chmod(mine.c_str(), 0700), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(mine.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(plat::MakeFileInstanceLock(shared)->Acquire("KELVANE.exe"));
    }
    std::filesystem::remove_all(mine);
    ASSERT_EQ(symlink(dir_.Path().c_str(), mine.c_str()), 0);
    EXPECT_FALSE(plat::MakeFileInstanceLock(shared)->Acquire("KELVANE.exe")) << "a planted link";
}

TEST(Process, KnowsItself) {
    auto process = plat::MakeLinuxProcess();
    std::string self = process->SelfPath();
    EXPECT_EQ(self.front(), '/');
    EXPECT_TRUE(self.ends_with("/test_platform")) << self;
    EXPECT_TRUE(process->IsFile(self));
    EXPECT_FALSE(process->IsFile("/"));
    EXPECT_FALSE(process->IsFile(""));
    EXPECT_FALSE(process->IsFile("/no/such/file"));
    EXPECT_EQ(process->CurrentDir(), std::filesystem::current_path().string());

    setenv("KV_PLATFORM_TEST_VAR", "COM3", 1);
    EXPECT_EQ(process->Env("KV_PLATFORM_TEST_VAR"), "COM3");
    unsetenv("KV_PLATFORM_TEST_VAR");
    EXPECT_FALSE(process->Env("KV_PLATFORM_TEST_VAR"));
}

TEST(Process, ExecReplacesTheProcessOrReportsFailure) {
    auto process = plat::MakeLinuxProcess();
    EXPECT_FALSE(process->ExecReplace("/no/such/kelvlite", {"kelvlite", "COM2"}));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        process->ExecReplace("/bin/sh", {"sh", "-c", "test \"$0\" = COM2 && exit 7", "COM2"});
        _exit(99);  // exec failed
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST(Process, SerialPortsAreDevicePaths) {
    for (const plat::SerialAdapter& port : plat::MakeLinuxProcess()->SerialPortsPresent()) {
        EXPECT_TRUE(port.device.starts_with("/dev/")) << port.device;
        EXPECT_TRUE(port.byId.empty() || port.byId.starts_with("/dev/serial/by-id/")) << port.byId;
    }
}

// A machine as /sys and /dev show it: two USB adapters (one FTDI with its
// stable name, one CDC-ACM board), a USB adapter named ttyS by its driver,
// the built-in UARTs, a virtual console, and a by-id name left dangling.
TEST(SerialAdapters, EachAdapterOnceWithItsStableName) {
    kvtest::TempFolder root;
    namespace fs = std::filesystem;
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    auto tty = [&](const std::string& name, const std::string& device) {
        fs::create_directories(sys / "class/tty" / name);
        if (!device.empty()) {
            fs::create_directories(sys / device);
            fs::create_directory_symlink(sys / device, sys / "class/tty" / name / "device");
        }
        std::ofstream(dev / name) << "";
    };
    fs::create_directories(dev / "serial/by-id");
    tty("ttyUSB10", "devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB10");
    tty("ttyUSB2", "devices/pci0000:00/usb1/1-1/1-1:1.0/ttyUSB2");
    tty("ttyACM0", "devices/pci0000:00/usb2/2-1/2-1:1.0");
    tty("ttyS5", "devices/pci0000:00/usb3/3-1/3-1:1.0");
    tty("ttyS0", "devices/platform/serial8250");
    tty("tty1", "");
    std::ofstream(dev / "ttyACM3") << "";  // a node without its /sys entry
    fs::create_symlink("../../ttyUSB2", dev / "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    fs::create_symlink("../../ttyUSB9", dev / "serial/by-id/usb-gone-if00");

    std::vector<std::string> seen;
    for (const plat::SerialAdapter& a : plat::ListSerialAdapters(root.Path())) {
        seen.push_back(a.device + "|" + a.byId + "|" + (a.usb ? "usb" : ""));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "/dev/ttyACM0||usb",
                        "/dev/ttyACM3||usb",
                        "/dev/ttyS5||usb",
                        "/dev/ttyUSB2|/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0|usb",
                        "/dev/ttyUSB10||usb",
                    }));
    EXPECT_TRUE(plat::ListSerialAdapters(root / "none").empty());
}

TEST(SystemClock, TicksFollowSleeps) {
    auto clock = plat::MakeSystemClock();
    auto wall = std::chrono::steady_clock::now();
    uint32_t start = clock->TickMs();
    clock->SleepMs(60);
    uint32_t elapsed = clock->TickMs() - start;  // unsigned: right across a wrap too
    auto wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wall);
    EXPECT_GE(elapsed, 59u);
    EXPECT_LE(elapsed, static_cast<uint32_t>(wallMs.count()) + 1);
    EXPECT_GE(wallMs.count(), 60);
    clock->SleepMs(0);
}

}  // namespace
