// The production line's use: both programs as processes on the console front
// end run erase-program-read and blank-program-read against vireo-sim with a
// program file made by objcopy; the simulated flash holds the file afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

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
Bench Prepare(const std::string& name, const std::string& program, unsigned baud) {
    Bench r;
    r.folder = kvtest::FreshFolder(name);
    r.config = kvtest::FreshFolder(name + "_config");
    r.runtime = kvtest::FreshFolder(name + "_run");
    const std::string bin = r.folder + "/x.bin";
    r.mot = r.folder + "/x.mot";
    r.dump = r.folder + "/flash.mot";
    {
        std::ofstream out(bin, std::ios::binary);
        for (size_t i = 0; i < kFileSize; ++i) out.put(static_cast<char>((i * 7 + 1) % 0xFF));
    }
    const std::string cmd = "objcopy -I binary -O srec --change-addresses 0xC0000 " + bin + " " + r.mot;
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
    ASSERT_EQ(file.LoadFile(r.mot), 1);
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

TEST(ProductionE2E, KelvaneEraseProgramRead) {
    const Bench r = Prepare("epr_kelvane", "kelvane", 115200);
    SKIP_WITHOUT_OBJCOPY(r);
    kvtest::SimServer sim({"--mode", "flash", "--dump", r.dump});
    const std::string script = "ok\n" + IdCheck(r) + "1010\nok\n2\n";  // E. P. R..., "Erase?", Exit
    const auto run = RunProgram(BuildPath("kelvane"), {"kelvane", "--console", "--port", sim.Port()}, Env(r),
                                script, kDeadlineMs);
    sim.Stop();
    ExpectProgramOk(run);
    ExpectFlashHoldsTheFile(r);
}

TEST(ProductionE2E, KelvliteEraseProgramRead) {
    const Bench r = Prepare("epr_kelvlite", "kelvlite", 57600);
    SKIP_WITHOUT_OBJCOPY(r);
    kvtest::SimServer sim({"--mode", "lite", "--dump", r.dump});
    // kelvlite also asks the range and confirms it.
    const std::string script = IdCheck(r) + "1010\nok\nok\nok\n2\n";
    const auto run = RunProgram(BuildPath("kelvlite"), {"kelvlite", "--console", sim.Port()}, Env(r), script,
                                kDeadlineMs);
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
