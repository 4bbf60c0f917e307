// Both programs as real processes on the console front end, against
// vireo-sim on a pseudo-terminal, in real time.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/child_process.h"

namespace {

using kvtest::BuildPath;
using kvtest::RunProgram;
using Bytes = std::vector<int>;

constexpr int kDeadlineMs = 30000;

// An S2 record with its checksum.
std::string S2(uint32_t address, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body = {static_cast<uint8_t>(data.size() + 4), static_cast<uint8_t>(address >> 16),
                                 static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    body.insert(body.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string text = "S2";
    char hex[3];
    for (uint8_t b : body) {
        sum += b;
        snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    return text + hex + "\n";
}

struct Folders {
    explicit Folders(const std::string& name)
        : config(kvtest::FreshFolder(name + "_config")), runtime(kvtest::FreshFolder(name + "_run")) {}
    std::vector<std::string> Env() const {
        return {"XDG_CONFIG_HOME=" + config, "XDG_RUNTIME_DIR=" + runtime, "KELVANE_UI="};
    }
    std::string config, runtime;
};

std::vector<int> Values(const std::vector<std::pair<int, unsigned>>& log) {
    std::vector<int> v;
    for (const auto& [value, baud] : log) v.push_back(value);
    return v;
}

bool Contains(const Bytes& all, const Bytes& part) {
    return std::search(all.begin(), all.end(), part.begin(), part.end()) != all.end();
}

std::string ReadText(const std::string& path) {
    std::ifstream f(path);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(ProgramsE2E, KelvaneChecksTheIdReadsTheStatusAndExits) {
    Folders folders("kelvane");
    const std::string log = folders.runtime + "/sim.log";
    const std::string mot = folders.config + "/program.mot";
    std::ofstream(mot) << S2(0x0C0000, {0x01, 0x02, 0x03, 0x04}) << "S804000000FB\n";

    kvtest::SimServer sim({"--mode", "flash", "--log", log});
    ASSERT_EQ(sim.Port().rfind("/dev/pts/", 0), 0u) << sim.Port();
    const std::string script =
        "ok\n"  // Select Program: mode 0 on the port given
        "1011=" +
        mot +
        "\n"
        "1002=11\n1003=22\n1004=33\n1005=44\n1006=55\n1007=66\n1008=77\n"
        "ok\n"    // ID check
        "1034\n"  // Status...
        "ok\n"    // the status window's Menu button
        "2\n";    // Exit
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--trace", "--port", sim.Port()},
                                folders.Env(), script, kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

    for (const char* shown : {"Z_TYPE = \n", "== Select Program ==", "[1060] combo Port: ", "== ID Check ==",
                              "== Kelvane ==", "[menu 16] About Kelvix...", "== Status =="})
        EXPECT_NE(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
    EXPECT_EQ(run.out.find("error:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("(stop)"), std::string::npos) << run.out;

    const auto received = kvtest::ReadByteLog(log);
    const Bytes bytes = Values(received);
    Bytes sync(17, 0x00);
    sync.push_back(0xB0);
    ASSERT_GE(bytes.size(), sync.size());
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 18), sync);
    EXPECT_TRUE(Contains(bytes, {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
    EXPECT_GE(std::count(bytes.begin(), bytes.end(), 0x70), 3);                 // start-up, ID check, Status...
    EXPECT_EQ(Bytes(bytes.end() - 3, bytes.end()), (Bytes{0xB0, 0xB0, 0xB0}));  // Exit at 9600
    for (const auto& [value, baud] : received) EXPECT_EQ(baud, 9600u);

    const std::string ini = ReadText(folders.config + "/kelvane.INI");
    EXPECT_NE(ini.find("Baundrate=9600"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Default_Type="), std::string::npos) << ini;
}

TEST(ProgramsE2E, KelvliteStartsOnItsPortArgumentWithTheFirmwareBesideIt) {
    Folders folders("kelvlite");
    const std::string log = folders.runtime + "/sim.log";
    kvtest::SimServer sim({"--mode", "lite", "--log", log});
    ASSERT_FALSE(sim.Port().empty());
    // The ID check is left with Cancel, the panel with Exit. The second
    // session finds the sequencer awake from the first and wakes it anew.
    for (int session = 1; session <= 2; ++session) {
        SCOPED_TRACE(session);
        const auto run = RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console", sim.Port()}, folders.Env(),
                                    "cancel\n2\n", kDeadlineMs);
        ASSERT_FALSE(run.timedOut) << run.out;
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(run.out.find("== Select Program =="), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("== Kelvane for Vireo/L =="), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("(stop)"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Z_TYPE"), std::string::npos) << run.out;  // no "First_data" in kelvlite
    }
    sim.Stop();

    const Bytes bytes = Values(kvtest::ReadByteLog(log));
    Bytes sync(16, 0x00);
    sync.push_back(0xB0);
    ASSERT_GE(bytes.size(), sync.size());
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 17), sync);
    EXPECT_TRUE(Contains(bytes, {0x70}));
    EXPECT_EQ(bytes.back(), 0x06);  // Exit ends with the sequencer's handshake
}

TEST(ProgramsE2E, SecondInstanceIsRefused) {
    Folders folders("second");
    const int fd = open((folders.runtime + "/KELVANE.exe.lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console"}, folders.Env(), "", kDeadlineMs);
    close(fd);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Kelvane (stop): This program is already running.\n");

    // kelvlite has a lock of its own.
    const auto lite =
        RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console"}, folders.Env(), "cancel\n", kDeadlineMs);
    EXPECT_EQ(lite.exitCode, 0) << lite.out;
    EXPECT_NE(lite.out.find("== Select Program =="), std::string::npos) << lite.out;

    // A FIFO planted at the lock's path is refused at once, not waited on.
    const std::string fifo = folders.runtime + "/kelvlite.exe.lock";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const auto planted = RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console"}, folders.Env(), "", 5000);
    EXPECT_FALSE(planted.timedOut);
    EXPECT_EQ(planted.out, "Kelvane (stop): This program is already running.\n");
}

// --help and --version print and end at once (no lock, no settings, no
// window); an unknown "--" option is a command-line error with the usage line.
TEST(ProgramsE2E, HelpVersionAndUnknownOptions) {
    Folders folders("options");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // the start of standard output
        std::string err;  // found in standard error
    };
    std::vector<Case> cases;
    for (const std::string program : {"kelvane", "kelvlite", "vireo-sim"}) {
        cases.push_back({{program, "--help"}, 0, "Usage: " + program + " ", ""});
        cases.push_back({{program, "--version"}, 0, program + " (Kelvane) ", ""});
        cases.push_back({{program, "--frobnicate"}, 2, "", "Usage: " + program + " "});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::BuildPath(c.args[0]) + " " + c.args[1]);
        const auto run = RunProgram(BuildPath(c.args[0]), c.args, folders.Env(), "", kDeadlineMs);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        EXPECT_EQ(run.out.rfind(c.out, 0), 0u) << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        if (c.exitCode == 2) {
            EXPECT_NE(run.err.find("--frobnicate"), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folders.config + "/kelvane.INI"));
}

TEST(ProgramsE2E, ModeTwoReplacesKelvaneWithKelvliteOnTheChosenPort) {
    Folders folders("companion");
    const std::string log = folders.runtime + "/sim.log";
    kvtest::SimServer sim({"--mode", "lite", "--log", log});
    ASSERT_FALSE(sim.Port().empty());
    // kelvane: mode 2 on the port; kelvlite (found beside kelvane): ID check
    // Cancel, panel Exit. The console front end carries over by KELVANE_UI.
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--port", sim.Port()}, folders.Env(),
                                "1057\nok\ncancel\n2\n", kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("== Select Program =="), std::string::npos);
    EXPECT_NE(run.out.find("== Kelvane for Vireo/L =="), std::string::npos) << run.out;
    EXPECT_FALSE(kvtest::ReadByteLog(log).empty());
}

// A settings file too large to be one is named once; the run goes on.
TEST(ProgramsE2E, TooLargeSettingsFileIsNamedOnce) {
    Folders folders("large_ini");
    const std::string ini = folders.config + "/kelvane.INI";
    std::ofstream(ini) << "[mode_info]\nDefault_Type=+a\n" << std::string(5u << 20, ';');
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "-a"}, folders.Env(), "", kDeadlineMs);
    ASSERT_FALSE(run.timedOut);
    const std::string told = "Kelvane (exclamation): The settings file " + ini + " is larger than 4 MiB";
    const size_t at = run.out.find(told);
    EXPECT_NE(at, std::string::npos) << run.out.substr(0, 2000);
    EXPECT_EQ(run.out.find(told, at + 1), std::string::npos) << "told once";
    EXPECT_NE(run.out.find("== Select Program =="), std::string::npos);
    EXPECT_EQ(ReadText(ini).size(), 28u + (5u << 20)) << "left as it was";
}

// SIGTERM, SIGINT and SIGHUP end the run the way Exit does: the operation
// in progress stops after its page, the console says so, the link goes back
// to 9600 bps, and the port is left free (exclusive flag and lock cleared).
TEST(ProgramsE2E, StopSignalsEndTheRunLikeExit) {
    const std::string idCheck = "1002=11\n1003=22\n1004=33\n1005=44\n1006=55\n1007=66\n1008=77\nok\n";
    struct Case {
        const char* name;
        std::string script;  // the program file's name is put in front of the ID
        const char* signalAfter;
        int signal;
        bool linkUp;  // the link runs at the stored 115200 bps when the signal comes
    } cases[] = {
        {"start_dialog", "", "== Select Program ==", SIGHUP, false},
        {"panel", "ok\n@" + idCheck, "About Kelvix...", SIGTERM, true},
        {"blank_check", "ok\n@" + idCheck + "1006\nok\n", "  0%", SIGINT, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Folders folders(std::string("stop_") + c.name);
        const std::string log = folders.runtime + "/sim.log";
        const std::string mot = folders.config + "/program.mot";
        std::ofstream(mot) << S2(0x0C0000, {0x01}) << "S804000000FB\n";
        std::ofstream(folders.config + "/kelvane.INI")
            << "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n";
        std::string script = c.script;
        if (auto at = script.find('@'); at != std::string::npos) script.replace(at, 1, "1011=" + mot + "\n");

        kvtest::SimServer sim({"--mode", "flash", "--log", log});
        ASSERT_FALSE(sim.Port().empty());
        const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--port", sim.Port()}, folders.Env(),
                                    script, kDeadlineMs, {c.signalAfter, c.signal});
        ASSERT_FALSE(run.timedOut) << run.out;
        EXPECT_EQ(run.exitCode, 128 + c.signal) << run.out << run.err;
        const std::string named = "stopped: SIG" + std::string(sigabbrev_np(c.signal)) + " received\n";
        EXPECT_NE(run.out.find(named), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("100%"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Blank check OK"), std::string::npos) << run.out;

        // The port is free again: no exclusive flag, no lock.
        const int fd = open(sim.Port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        int exclusive = -1;
        ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        close(fd);
        const int lock = open((folders.runtime + "/KELVANE.exe.lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (lock >= 0) {
            EXPECT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
            close(lock);
        }
        sim.Stop();

        const auto received = kvtest::ReadByteLog(log);
        if (c.linkUp) {
            ASSERT_FALSE(received.empty());
            EXPECT_TRUE(std::any_of(received.begin(), received.end(), [](auto& b) { return b.second == 115200u; }));
            EXPECT_EQ(received.back(), std::make_pair(0xB0, 9600u)) << "the link is back at 9600 bps";
        } else {
            EXPECT_TRUE(received.empty());
        }
    }

    // The desktop front end (off screen) ends its dialog the same way.
    Folders folders("stop_desktop");
    auto env = folders.Env();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    const auto run =
        RunProgram(BuildPath("kelvane"), {"kelvane", "--trace"}, env, "", kDeadlineMs, {"Z_Type =  \n", SIGTERM});
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.out << run.err;
}

}  // namespace
