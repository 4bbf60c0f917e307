// Erase-program-read against the simulated chip: the whole production run,
// its stop rules in both programs, the mismatch reports, Cancel.
#include <gtest/gtest.h>

#include "ops/epr_cmd.h"
#include "tests/composite/composite_rig.h"

namespace {

using kv::Edition;
using kvtest::ConfirmRange;
using kvtest::KelvaneFrames;
using kvtest::Pattern;
using kvtest::ProgressWindows;
using kvtest::SimRig;

std::unique_ptr<SimRig> MakeRig(Edition e, sim::Options options) {
    auto rig = std::make_unique<SimRig>(std::move(options), e);
    rig->Unlock();
    return rig;
}

// kelvlite's chip with the delivered firmware, and its faults set by `tune`.
#define LITE_CHIP_OR_SKIP(var)                                       \
    auto var##_opt = kvtest::LiteChip();                             \
    if (!var##_opt) GTEST_SKIP() << "firm.mot not beside the build"; \
    sim::Options var = *var##_opt

int RunEpr(SimRig& rig) {
    kv::CEPRCmd cmd(rig.App());
    return cmd.Run().Ok() ? 1 : 0;
}

// kelvlite asks the range and confirms it.
void ConfirmLiteRange(SimRig& rig, const std::string& start = "", const std::string& end = "") {
    ConfirmRange(rig.Ui(), start, end);
    rig.Ui().Press(tk::IDOK);  // "Program next area."
}

TEST(EraseProgramRead, KelvaneEmptyImageProgramsAndReadsTheDefaultRange) {
    auto rig = MakeRig(Edition::Kelvane, kvtest::FlashChip());
    rig->chip.Flash().Write(0x0C8000, {0x12, 0x34});  // old contents, erased first
    EXPECT_EQ(RunEpr(*rig), 1);
    EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program OK."}));
    EXPECT_TRUE(rig->Ui().EventsOf(tk::ScriptEvent::Type::DialogOpened).empty());

    const auto frames = KelvaneFrames(rig->Dev().SentBytes());
    std::vector<uint32_t> programmed, read;
    for (const auto& f : frames) {
        if (f.code == 0x41) programmed.push_back(f.page);
        if (f.code == 0xFF) read.push_back(f.page);
    }
    ASSERT_EQ(programmed.size(), 1024u);
    EXPECT_EQ(programmed.front(), 0x0C0000u);
    EXPECT_EQ(programmed.back(), 0x0FFF00u);
    EXPECT_EQ(read, programmed);
    EXPECT_EQ(kvtest::CountFrames(frames, 0xA7), 1u);
    for (uint32_t a = 0x0C0000; a <= 0x0FFFFF; a += 0x100)
        for (uint8_t b : rig->chip.Flash().ReadPage(a)) ASSERT_EQ(b, 0xFF);
    const auto windows = ProgressWindows(rig->Ui());
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].title, "Program");
    EXPECT_EQ(windows[1].title, "Read check.");
    EXPECT_EQ(rig->App().Channel().Timeout(), 5000u);
}

TEST(EraseProgramRead, ProgramsTheImageInBothPrograms) {
    const auto data = Pattern(0x180, 7);
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        SCOPED_TRACE(e == Edition::Kelvane ? "kelvane" : "kelvlite");
        std::unique_ptr<SimRig> rig;
        if (e == Edition::Kelvane) {
            rig = MakeRig(e, kvtest::FlashChip());
        } else {
            auto lite = kvtest::LiteChip();
            if (!lite) continue;
            rig = MakeRig(e, *lite);
            ConfirmLiteRange(*rig);
        }
        kvtest::LoadImage(rig->App(), {{0x0D0000, data}});
        EXPECT_EQ(RunEpr(*rig), 1);
        EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program OK."})) << rig->Ui().TranscriptText();
        for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(rig->chip.Flash().Read(0x0D0000 + uint32_t(i)), data[i]);
        EXPECT_EQ(rig->chip.Flash().Read(0x0D0180), 0xFF);
        const auto windows = ProgressWindows(rig->Ui());
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_EQ(windows[0].pages, 2u);
        EXPECT_EQ(windows[1].pages, 2u);
    }
}

TEST(EraseProgramRead, KelvaneNamesTheFirstDifferingByte) {
    sim::Options o = kvtest::FlashChip();
    o.faults.flipOnReadAddress = 0x0C0105;
    auto rig = MakeRig(Edition::Kelvane, o);
    kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x300, 1)}});
    EXPECT_EQ(RunEpr(*rig), 0);
    const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Find not match at address\r0C0105");
    EXPECT_EQ(boxes[0].icon, tk::Icon::None);
    // The read-back stopped at the second page.
    EXPECT_EQ(ProgressWindows(rig->Ui()).back().pages, 1u);
}

TEST(EraseProgramRead, KelvliteFormatsTheDifferenceAndComparesBlankImageBytes) {
    LITE_CHIP_OR_SKIP(o);
    o.faults.flipOnReadAddress = 0x0C0105;
    {
        auto rig = MakeRig(Edition::Kelvlite, o);
        auto data = Pattern(0x200, 1);
        data[0x105] = 0x3C;
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}});
        ConfirmLiteRange(*rig);
        EXPECT_EQ(RunEpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u) << rig->Ui().TranscriptText();
        EXPECT_EQ(boxes[0].text, "Find Not Match Data at Address : 0c0105h \n\n MotData : 03ch \n RomData : 0c3h");
        EXPECT_EQ(boxes[0].icon, tk::Icon::None);
    }
    {
        // The image holds 0xFF there: the chip must hold it too.
        auto rig = MakeRig(Edition::Kelvlite, o);
        auto data = Pattern(0x200, 1);
        data[0x105] = 0xFF;
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}});
        ConfirmLiteRange(*rig);
        EXPECT_EQ(RunEpr(*rig), 0);
        EXPECT_EQ(rig->Messages(),
                  std::vector<std::string>(
                      {"Find Not Match Data at Address : 0c0105h \n\n MotData : 0ffh \n RomData : 000h"}));
    }
}

TEST(EraseProgramRead, CancelInTheReadBackStillEndsWithTheStatusCheck) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        SCOPED_TRACE(e == Edition::Kelvane ? "kelvane" : "kelvlite");
        std::unique_ptr<SimRig> rig;
        if (e == Edition::Kelvane) {
            rig = MakeRig(e, kvtest::FlashChip());
        } else {
            auto lite = kvtest::LiteChip();
            if (!lite) continue;
            rig = MakeRig(e, *lite);
            ConfirmLiteRange(*rig);
        }
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x300, 4)}});
        rig->Ui().CancelProgressAfter(4);  // three pages programmed, the first read back
        EXPECT_EQ(RunEpr(*rig), 0);        // the status check runs, but the read-back is not whole
        EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program OK."}));
        const auto windows = ProgressWindows(rig->Ui());
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_EQ(windows[0].pages, 3u);
        EXPECT_EQ(windows[1].pages, 1u);
    }
}

TEST(EraseProgramRead, OldBootLoaderWithPlusAErasesFourBlocksFirst) {
    sim::Options o = kvtest::FlashChip();
    o.version = "VER.2.03";
    auto rig = MakeRig(Edition::Kelvane, o);
    rig->Profile().Set("mode_info", "Default_Type", "+a");
    kvtest::LoadImage(rig->App(), {{0x0F0000, Pattern(0x100, 2)}});
    EXPECT_EQ(RunEpr(*rig), 1);
    EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program OK."}));
    std::vector<uint32_t> blocks;
    for (const auto& f : KelvaneFrames(rig->Dev().SentBytes()))
        if (f.code == 0x20) blocks.push_back(f.page);
    EXPECT_EQ(blocks, std::vector<uint32_t>({0x0FFF00, 0x0FBF00, 0x0F9F00, 0x0F7F00}));
    EXPECT_EQ(kvtest::CountFrames(KelvaneFrames(rig->Dev().SentBytes()), 0xA7), 0u);
}

TEST(EraseProgramRead, EraseErrorEndsKelvaneButNotKelvlite) {
    {
        sim::Options o = kvtest::FlashChip();
        o.faults.eraseError = true;
        auto rig = MakeRig(Edition::Kelvane, o);
        EXPECT_EQ(RunEpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Erase error.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::Stop);
        EXPECT_EQ(kvtest::CountFrames(KelvaneFrames(rig->Dev().SentBytes()), 0x41), 0u);
        EXPECT_EQ(rig->App().Channel().Timeout(), 5000u);
    }
    {
        LITE_CHIP_OR_SKIP(o);
        o.faults.eraseError = true;
        auto rig = MakeRig(Edition::Kelvlite, o);
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 2)}});
        ConfirmLiteRange(*rig);
        RunEpr(*rig);
        const auto messages = rig->Messages();
        ASSERT_GE(messages.size(), 1u);
        EXPECT_EQ(messages[0], "Erase error.");
        EXPECT_EQ(ProgressWindows(rig->Ui()).size(), 2u);  // programmed and read back all the same
    }
}

TEST(EraseProgramRead, ProgramErrorStopsKelvaneAndLeadsKelvliteToTheReadBack) {
    const auto data = Pattern(0x100, 2);  // page 0x0C0100 is blank in the image
    {
        sim::Options o = kvtest::FlashChip();
        o.faults.programErrorPage = 0x0C0100;
        auto rig = MakeRig(Edition::Kelvane, o);
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}, {0x0C0200, data}});
        EXPECT_EQ(RunEpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Program error.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::Stop);
        const auto frames = KelvaneFrames(rig->Dev().SentBytes());
        EXPECT_EQ(kvtest::CountFrames(frames, 0x41), 2u);
        EXPECT_EQ(kvtest::CountFrames(frames, 0xFF), 0u);
    }
    {
        LITE_CHIP_OR_SKIP(o);
        o.faults.programErrorPage = 0x0C0100;
        auto rig = MakeRig(Edition::Kelvlite, o);
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}, {0x0C0200, data}});
        ConfirmLiteRange(*rig);
        EXPECT_EQ(RunEpr(*rig), 0);
        // The third page was never programmed: the read-back finds it.
        const auto messages = rig->Messages();
        ASSERT_EQ(messages.size(), 2u) << rig->Ui().TranscriptText();
        EXPECT_EQ(messages[0], "Program error.");
        EXPECT_EQ(messages[1].rfind("Find Not Match Data at Address : 0c0200h", 0), 0u);
    }
}

TEST(EraseProgramRead, KelvliteCancelWhileProgrammingReadsBackWithoutTheStatusCheck) {
    LITE_CHIP_OR_SKIP(o);
    auto rig = MakeRig(Edition::Kelvlite, o);
    kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 2)}});
    ConfirmLiteRange(*rig, "0C0000", "0C03FF");
    rig->Ui().CancelProgressAfter(1);
    EXPECT_EQ(RunEpr(*rig), 0);
    const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Stop programming.");
    EXPECT_EQ(boxes[0].icon, tk::Icon::Information);
    const auto windows = ProgressWindows(rig->Ui());
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[1].pages, 4u);  // the whole range read back
}

TEST(EraseProgramRead, KelvaneCancelWhileProgrammingEnds) {
    auto rig = MakeRig(Edition::Kelvane, kvtest::FlashChip());
    kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x300, 2)}});
    rig->Ui().CancelProgressAfter(1);
    EXPECT_EQ(RunEpr(*rig), 0);
    EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Stop programming."}));
    const auto frames = KelvaneFrames(rig->Dev().SentBytes());
    EXPECT_EQ(kvtest::CountFrames(frames, 0x41), 1u);
    EXPECT_EQ(kvtest::CountFrames(frames, 0xFF), 0u);
    EXPECT_EQ(rig->App().Channel().Timeout(), 5000u);
}

TEST(EraseProgramRead, KelvliteRangeDialogs) {
    LITE_CHIP_OR_SKIP(o);
    {
        auto rig = MakeRig(Edition::Kelvlite, o);
        rig->Ui().Press(tk::IDCANCEL);  // "Input Address"
        EXPECT_EQ(RunEpr(*rig), 0);
        EXPECT_TRUE(rig->Messages().empty());
    }
    {
        auto rig = MakeRig(Edition::Kelvlite, o);
        ConfirmRange(rig->Ui());
        rig->Ui().Press(tk::IDCANCEL);  // "Program next area."
        EXPECT_EQ(RunEpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Stop programming.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::None);
    }
}

}  // namespace
