// Both programs as real processes on the console front end, against
// vireo-sim on a pseudo-terminal, in real time.
#include <fcntl.h>
#include <sys/file.h>
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
        "ok\n"                                      // Select Program: mode 0 on the port given
        "1011=" + mot + "\n"
        "1002=11\n1003=22\n1004=33\n1005=44\n1006=55\n1007=66\n1008=77\n"
        "ok\n"                                      // ID check
        "1034\n"                                    // Status...
        "ok\n"                                      // the status window's Menu button
        "2\n";                                      // Exit
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--port", sim.Port()},
                                folders.Env(), script, kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

    for (const char* shown : {"Z_TYPE = \n", "== Select Program ==", "[1060] combo Port: " , "== ID Check ==",
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
    EXPECT_GE(std::count(bytes.begin(), bytes.end(), 0x70), 3);  // start-up, ID check, Status...
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
    // The ID check is left with Cancel, the panel with Exit.
    const auto run = RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console", sim.Port()}, folders.Env(),
                                "cancel\n2\n", kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("== Select Program =="), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("== Kelvane for Vireo/L =="), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("(stop)"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Z_TYPE"), std::string::npos) << run.out;  // no "First_data" in kelvlite

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
    const auto lite = RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console"}, folders.Env(), "cancel\n",
                                 kDeadlineMs);
    EXPECT_EQ(lite.exitCode, 0) << lite.out;
    EXPECT_NE(lite.out.find("== Select Program =="), std::string::npos) << lite.out;
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
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--port", sim.Port()},
                                folders.Env(), "1057\nok\ncancel\n2\n", kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("== Select Program =="), std::string::npos);
    EXPECT_NE(run.out.find("== Kelvane for Vireo/L =="), std::string::npos) << run.out;
    EXPECT_FALSE(kvtest::ReadByteLog(log).empty());
}

}  // namespace
