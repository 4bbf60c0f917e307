// The production line's use: both programs as processes on the console front
// end run erase-program-read and blank-program-read against vireo-sim with a
// program file made by objcopy; the simulated flash holds the file afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "image/load_image_file.h"
#include "image/mot_file.h"
#include "tests/e2e/child_process.h"

namespace {

using kvtest::BuildPath;
using kvtest::RunProgram;

constexpr int kDeadlineMs = 60000;
constexpr uint32_t kBase = 0x0C0000;
constexpr size_t kFileSize = 0x2A0;  // three pages, the last one partly

struct Bench {
    std::string folder, config, runtime, mot, dump;
};

// A binary without 0xFF bytes turned into S-records at 0x0C0000, and an
// INI that keeps the link at `baud` (a production line runs fast; every
// page frame must be on the wire before the status read's time-out ends).
// `format` is objcopy's output format: "srec" or "ihex".
Bench Prepare(const std::string& name, const std::string& program, unsigned baud, const std::string& format = "srec") {
    Bench r;
    r.folder = kvtest::FreshFolder(name);
    r.config = kvtest::FreshFolder(name + "_config");
    r.runtime = kvtest::FreshFolder(name + "_run");
    const std::string bin = r.folder + "/x.bin";
    r.mot = r.folder + (format == "ihex" ? "/x.hex" : "/x.mot");
    r.dump = r.folder + "/flash.mot";
    {
        std::ofstream out(bin, std::ios::binary);
        for (size_t i = 0; i < kFileSize; ++i) out.put(static_cast<char>((i * 7 + 1) % 0xFF));
    }
    const std::string cmd = "objcopy -I binary -O " + format + " --change-addresses 0xC0000 " + bin + " " + r.mot;
    if (std::system(cmd.c_str()) != 0) r.mot.clear();
    std::ofstream(r.config + "/" + program + ".INI")
        << "[Last Comm State]\nBaundrate=" << baud << "\nByte=8\nStop Bit=0\nParity=0\n";
    return r;
}

std::vector<std::string> Env(const Bench& r) {
    return {"XDG_CONFIG_HOME=" + r.config, "XDG_RUNTIME_DIR=" + r.runtime, "KELVANE_UI="};
}

// The ID check with the file and the ID 11 22 33 44 55 66 77.
std::string IdCheck(const Bench& r) {
    return "1011=" + r.mot + "\n1002=11\n1003=22\n1004=33\n1005=44\n1006=55\n1007=66\n1008=77\nok\n";
}

// The simulated flash equals the file: the same bytes at the same addresses
// and nothing else programmed.
void ExpectFlashHoldsTheFile(const Bench& r) {
    kv::CMotFile file, flash;
    ASSERT_TRUE(kv::LoadImageFile(r.mot, file).Loaded()) << r.mot;
    ASSERT_EQ(flash.LoadFile(r.dump), 1) << r.dump;
    EXPECT_EQ(flash.PageCount(), file.PageCount());
    for (uint32_t page = kBase / 256; page <= (kBase + kFileSize) / 256; ++page) {
        ASSERT_NE(flash.Page(page), nullptr) << page;
        EXPECT_EQ(flash.Page(page)->Bytes(), file.Page(page)->Bytes()) << page;
    }
}

void ExpectProgramOk(const kvtest::ProgramRun& run) {
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("(information): Program OK."), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("(stop)"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("error:"), std::string::npos) << run.out;
}

#define SKIP_WITHOUT_OBJCOPY(r) \
    if ((r).mot.empty()) GTEST_SKIP() << "objcopy is not available"

// S-records typed into FilePath; Intel HEX named on the command line (as a
// file manager opens it), which FilePath then shows.
TEST(ProductionE2E, KelvaneEraseProgramRead) {
    for (const std::string format : {"srec", "ihex"}) {
        SCOPED_TRACE(format);
        const Bench r = Prepare("epr_kelvane_" + format, "kelvane", 115200, format);
        SKIP_WITHOUT_OBJCOPY(r);
        kvtest::SimServer sim({"--mode", "flash", "--dump", r.dump});
        const bool named = format == "ihex";
        std::string idCheck = IdCheck(r);
        if (named) idCheck.erase(0, idCheck.find('\n') + 1);            // no path typed
        const std::string script = "ok\n" + idCheck + "1010\nok\n2\n";  // E. P. R..., "Erase?", Exit
        std::vector<std::string> args = {"kelvane", "--console", "--port", sim.Port()};
        if (named) args.push_back(r.mot);
        const auto run = RunProgram(BuildPath("kelvane"), args, Env(r), script, kDeadlineMs);
        sim.Stop();
        ExpectProgramOk(run);
        ExpectFlashHoldsTheFile(r);
    }
}

// The single operations one after the other on a chip that holds old data:
// erase, program, a blank check of a fresh range and of the programmed one,
// and a read check of the programmed range.
TEST(ProductionE2E, KelvaneSingleOperations) {
    const Bench r = Prepare("single_kelvane", "kelvane", 115200);
    SKIP_WITHOUT_OBJCOPY(r);
    // Zeros over the programmed range: programming cannot succeed unless the
    // erase has run first.
    const std::string old = r.folder + "/old.mot";
    {
        std::ofstream out(r.folder + "/old.bin", std::ios::binary);
        for (size_t i = 0; i < kFileSize; ++i) out.put('\0');
    }
    const std::string cmd = "objcopy -I binary -O srec --change-addresses 0xC0000 " + r.folder + "/old.bin " + old;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    kvtest::SimServer sim({"--mode", "flash", "--load", old, "--dump", r.dump});
    const std::string script = "ok\n" + IdCheck(r) +
                               "1000\nok\n"                            // Erase, "Erase?"
                               "1009\nok\nok\n"                        // Program..., the range, "Program next area."
                               "1006\n1012=0D0000\n1013=0D0FFF\nok\n"  // Blank... over a fresh range
                               "1006\n1012=0C0000\n1013=0C02FF\nok\n"  // Blank... over the programmed range
                               "1007\n1012=0C0000\n1013=0C02FF\nok\n"  // Read... over the programmed range
                               "2\n";
    const auto run =
        RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--port", sim.Port()}, Env(r), script, kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string& out = run.out;
    const auto erased = out.find("Kelvane (information): Erase OK.");
    const auto programmed = out.find("Kelvane (information): Program OK.", erased);
    // The fresh range is blank (kelvane says nothing); the programmed one is
    // not, from its first byte on.
    const auto notBlank = out.find("Kelvane (none): Find not blank at address\n  0C0000\n", programmed);
    EXPECT_NE(erased, std::string::npos) << out;
    EXPECT_NE(programmed, std::string::npos) << out;
    EXPECT_NE(notBlank, std::string::npos) << out;
    size_t blankWindows = 0;
    for (auto at = out.find("Blank Check: Blank check."); at != std::string::npos;
         at = out.find("Blank Check: Blank check.", at + 1))
        ++blankWindows;
    EXPECT_EQ(blankWindows, 2u) << out;
    EXPECT_NE(out.find("Read check.: Read check.", notBlank), std::string::npos) << out;
    EXPECT_EQ(out.find("Find not match"), std::string::npos) << out;
    EXPECT_EQ(out.find("(stop)"), std::string::npos) << out;
    EXPECT_EQ(out.find("error:"), std::string::npos) << out;
    ExpectFlashHoldsTheFile(r);
}

TEST(ProductionE2E, KelvliteEraseProgramRead) {
    const Bench r = Prepare("epr_kelvlite", "kelvlite", 57600);
    SKIP_WITHOUT_OBJCOPY(r);
    kvtest::SimServer sim({"--mode", "lite", "--dump", r.dump});
    // kelvlite also asks the range and confirms it.
    const std::string script = IdCheck(r) + "1010\nok\nok\nok\n2\n";
    const auto run =
        RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console", sim.Port()}, Env(r), script, kDeadlineMs);
    sim.Stop();
    ExpectProgramOk(run);
    ExpectFlashHoldsTheFile(r);
}

TEST(ProductionE2E, BlankProgramReadOnAnErasedChip) {
    for (const std::string program : {"kelvane", "kelvlite"}) {
        SCOPED_TRACE(program);
        const bool lite = program == "kelvlite";
        const Bench r = Prepare("bpr_" + program, program, lite ? 57600 : 115200);
        SKIP_WITHOUT_OBJCOPY(r);
        // A blank ID area: any ID opens the chip.
        kvtest::SimServer sim({"--mode", lite ? "lite" : "flash", "--id", "FFFFFFFFFFFFFF", "--dump", r.dump});
        // B. P. R...: the range as proposed, then "Program next area.".
        const std::string script = (lite ? "" : "ok\n") + IdCheck(r) + "1008\nok\nok\n2\n";
        std::vector<std::string> args = {program, "--console"};
        if (!lite) args.push_back("--port");
        args.push_back(sim.Port());
        const auto run = RunProgram(BuildPath(program), args, Env(r), script, kDeadlineMs);
        sim.Stop();
        ExpectProgramOk(run);
        EXPECT_NE(run.out.find("Blank Check: Blank check."), std::string::npos) << run.out;
        ExpectFlashHoldsTheFile(r);
    }
}

}  // namespace
