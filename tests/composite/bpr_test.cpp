// Blank-program-read against the simulated chip: blank check, confirmation,
// programming and read-back, with each program's stop and cancel rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/dialogs/pre_write_dlg.h"
#include "ops/bpr_cmd.h"
#include "tests/composite/composite_rig.h"

namespace {

using kv::Edition;
using kvtest::ConfirmRange;
using kvtest::KelvaneFrames;
using kvtest::Pattern;
using kvtest::ProgressWindows;
using kvtest::SimRig;

struct Titles {
    std::vector<std::string> titles;
    std::vector<size_t> pages;
};

Titles Windows(const tk::ScriptedUi& ui) {
    Titles t;
    for (const auto& w : ProgressWindows(ui)) {
        t.titles.push_back(w.title);
        t.pages.push_back(w.pages);
    }
    return t;
}

// The rig for an edition, or none when kelvlite's firmware is not there.
std::unique_ptr<SimRig> MakeRig(Edition e, const std::function<void(sim::Options&)>& tune = {}) {
    std::optional<sim::Options> o = e == Edition::Kelvane ? kvtest::FlashChip() : kvtest::LiteChip();
    if (!o) return nullptr;
    if (tune) tune(*o);
    auto rig = std::make_unique<SimRig>(std::move(*o), e);
    rig->Unlock();
    return rig;
}

int RunBpr(SimRig& rig) {
    kv::CBPRCmd cmd(rig.App());
    return cmd.Run().Ok() ? 1 : 0;
}

// Range dialog confirmed as proposed (or with the given texts), then the
// "Program next area." confirmation.
void Confirm(SimRig& rig, const std::string& start = "", const std::string& end = "") {
    ConfirmRange(rig.Ui(), start, end);
    rig.Ui().Press(tk::IDOK);
}

const char* Name(Edition e) { return e == Edition::Kelvane ? "kelvane" : "kelvlite"; }

TEST(BlankProgramRead, ProgramsAnErasedChipAndReadsItBack) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        SCOPED_TRACE(Name(e));
        auto rig = MakeRig(e);
        if (!rig) continue;
        const auto data = Pattern(0x250, 9);
        kvtest::LoadImage(rig->App(), {{0x0C1000, data}});
        Confirm(*rig);
        EXPECT_EQ(RunBpr(*rig), 1);
        EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program OK."})) << rig->Ui().TranscriptText();
        for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(rig->chip.Flash().Read(0x0C1000 + uint32_t(i)), data[i]);
        const auto w = Windows(rig->Ui());
        EXPECT_EQ(w.titles, std::vector<std::string>({"Blank Check", "Program", "Read check."}));
        EXPECT_EQ(w.pages, std::vector<size_t>({3, 3, 3}));
        EXPECT_EQ(rig->App().Channel().Timeout(), 5000u);
    }
}

TEST(BlankProgramRead, NotBlankStopsBeforeAnythingIsProgrammed) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        SCOPED_TRACE(Name(e));
        auto rig = MakeRig(e);
        if (!rig) continue;
        rig->chip.Flash().Write(0x0C0110, uint8_t{0x00});
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x200, 1)}});
        ConfirmRange(rig->Ui());
        EXPECT_EQ(RunBpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, e == Edition::Kelvane
                                     ? "Find not blank at address\r0C0110"
                                     : "Find Not Blank Data at Address : 0c0110h \n\n RomData : 000h");
        EXPECT_EQ(boxes[0].icon, tk::Icon::None);
        EXPECT_EQ(Windows(rig->Ui()).titles, std::vector<std::string>({"Blank Check"}));
        EXPECT_EQ(rig->chip.Flash().Read(0x0C0000), 0xFF);
    }
}

TEST(BlankProgramRead, KelvaneProgramErrorStopsSilentlyAndTheReadBackTells) {
    // The failing page holds data: the read-back names its first byte and the
    // run answers the program phase's result.
    {
        auto rig = MakeRig(Edition::Kelvane, [](sim::Options& o) { o.faults.programErrorPage = 0x0C0200; });
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 1)}, {0x0C0200, Pattern(0x100, 2)}});
        Confirm(*rig);
        EXPECT_EQ(RunBpr(*rig), 0);
        EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Find not match at address\r0C0200"}));
        EXPECT_EQ(Windows(rig->Ui()).pages, std::vector<size_t>({3, 3, 2}));  // the bar stops before the third
    }
    // The failing page is blank in the image: the read-back passes and the
    // closing status check reports the error.
    {
        auto rig = MakeRig(Edition::Kelvane, [](sim::Options& o) { o.faults.programErrorPage = 0x0C0300; });
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 1)}});
        Confirm(*rig, "0C0000", "0C03FF");
        EXPECT_EQ(RunBpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Program error.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::Stop);
    }
}

// The chip resets in the middle of the second page frame (a cable glitch,
// a reset): the lost reply or acknowledgement runs the recovery, and the run
// ends there. No read-back and no status verdict follow: after the reset the
// chip's register is clean and the read-back of this image would pass.
TEST(BlankProgramRead, LostReplyWhileProgrammingEndsAfterTheRecovery) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        SCOPED_TRACE(Name(e));
        auto rig = MakeRig(e);
        if (!rig) continue;
        // Bytes on the wire up to the middle of the second page frame.
        const auto& slots = rig->App().Routines().slots;
        const bool lite = e == Edition::Kelvlite;
        auto routine = [&](int slot) { return lite ? uint64_t{slots[size_t(slot)].length} : 0; };
        const uint64_t pageRead = routine(0) + 3 + (lite ? 1 : 0);
        const uint64_t status = routine(5) + 1 + (lite ? 1 : 0);
        rig->chip.MutableFaults().resetAfterBytes = rig->chip.Transcript().size() + 3 * pageRead + routine(6) +
                                                    (lite ? 0 : 1) + routine(1) + 259 + status + routine(1) + 130;
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 1)}});
        Confirm(*rig, "0C0000", "0C02FF");
        // The recovery: OK, and OK in "Set baudrate".
        // The progress window goes before the message, which says what the
        // flash holds now.
        const std::string lost = "Timeout.\nPush RESET.\nPort: COM1\nThe flash is now partly programmed.";
        rig->Ui().Answer(tk::IDOK, lost).Press(tk::IDOK);
        EXPECT_EQ(RunBpr(*rig), 0);
        EXPECT_EQ(rig->chip.ResetCount(), 1);
        EXPECT_EQ(rig->Messages(), std::vector<std::string>({lost})) << rig->Ui().TranscriptText();
        const auto& events = rig->Ui().Events();
        const auto shown = std::find_if(events.begin(), events.end(), [](const tk::ScriptEvent& ev) {
            return ev.type == tk::ScriptEvent::Type::MessageBox;
        });
        const auto programGone = std::find_if(events.begin(), events.end(), [](const tk::ScriptEvent& ev) {
            return ev.type == tk::ScriptEvent::Type::ModelessDestroyed && ev.caption == "Program";
        });
        EXPECT_LT(programGone, shown) << rig->Ui().TranscriptText();
        EXPECT_EQ(Windows(rig->Ui()).titles, std::vector<std::string>({"Blank Check", "Program"}));
        EXPECT_EQ(rig->App().Channel().Timeout(), 5000u);
    }
}

TEST(BlankProgramRead, KelvliteReportsTheProgramErrorAndGoesOn) {
    auto rig = MakeRig(Edition::Kelvlite, [](sim::Options& o) { o.faults.programErrorPage = 0x0C0100; });
    if (!rig) GTEST_SKIP() << "firm.mot not beside the build";
    kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 1)}});
    Confirm(*rig, "0C0000", "0C02FF");
    EXPECT_EQ(RunBpr(*rig), 0);
    // The pages left unprogrammed are blank in the image; the sticky error
    // bit shows in the closing check.
    EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program error.", "Program error."}));
    EXPECT_EQ(Windows(rig->Ui()).pages, std::vector<size_t>({3, 2, 3}));
}

TEST(BlankProgramRead, KelvaneCancelRules) {
    const auto data = Pattern(0x300, 3);
    struct Case {
        int pump;  // the pump whose Cancel ends a phase, 3 pages each, counted over the whole run
        int result;
        std::vector<std::string> messages;
        std::vector<std::string> windows;
    } cases[] = {
        {1, 0, {}, {"Blank Check"}},
        {5, 0, {"Stop programming."}, {"Blank Check", "Program"}},
        // A cancelled read-back vouches for nothing, though the status check still runs.
        {8, 0, {"Program OK."}, {"Blank Check", "Program", "Read check."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pump);
        auto rig = MakeRig(Edition::Kelvane);
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}});
        ConfirmRange(rig->Ui());
        if (c.pump > 3)
            rig->Ui().Press(tk::IDOK).CancelProgressAfter(c.pump - 3);
        else
            rig->Ui().CancelProgressAfter(c.pump);
        EXPECT_EQ(RunBpr(*rig), c.result);
        EXPECT_EQ(rig->Messages(), c.messages);
        EXPECT_EQ(Windows(rig->Ui()).titles, c.windows);
        EXPECT_TRUE(rig->Ui().Errors().empty()) << rig->Ui().TranscriptText();
    }
}

TEST(BlankProgramRead, KelvliteCancelRules) {
    const auto data = Pattern(0x100, 3);
    {
        // Cancel in the blank check: the confirmation still comes, the run goes on.
        auto rig = MakeRig(Edition::Kelvlite);
        if (!rig) GTEST_SKIP() << "firm.mot not beside the build";
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}});
        ConfirmRange(rig->Ui(), "0C0000", "0C02FF");
        rig->Ui().CancelProgressAfter(1).Press(tk::IDOK);
        EXPECT_EQ(RunBpr(*rig), 0);  // the cancelled blank check vouches for nothing
        EXPECT_EQ(rig->Messages(), std::vector<std::string>({"Program OK."}));
        EXPECT_EQ(rig->Ui().EventsOf(tk::ScriptEvent::Type::DialogOpened).back().templateId, kv::IDD_PRE_WRITE);
        EXPECT_EQ(Windows(rig->Ui()).pages, std::vector<size_t>({1, 3, 3}));
    }
    {
        // Cancel while programming: the read-back runs, no closing check.
        auto rig = MakeRig(Edition::Kelvlite);
        kvtest::LoadImage(rig->App(), {{0x0C0000, data}});
        Confirm(*rig, "0C0000", "0C02FF");
        rig->Ui().CancelProgressAfter(1);  // counted once the confirmation is answered
        EXPECT_EQ(RunBpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Stop programming.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::Information);
        EXPECT_EQ(Windows(rig->Ui()).pages, std::vector<size_t>({3, 1, 3}));
    }
}

TEST(BlankProgramRead, KelvanePacesItsPageReads) {
    auto rig = MakeRig(Edition::Kelvane);
    kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x200, 3)}});
    Confirm(*rig);
    rig->App().programInterval = 0;
    RunBpr(*rig);
    // Page reads of the blank check 10 ms apart at least.
    std::vector<uint64_t> reads;
    const auto wire = rig->Dev().Sent();
    for (size_t i = 0; i + 2 < wire.size(); ++i)
        if (wire[i].value == 0xFF && wire[i + 1].value == 0x00 && wire[i + 2].value == 0x0C)
            reads.push_back(wire[i].timeMs);
    ASSERT_GE(reads.size(), 2u);
    EXPECT_GE(reads[1] - reads[0], 10u);
}

TEST(BlankProgramRead, ConfirmationCancelledStopsProgramming) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        SCOPED_TRACE(Name(e));
        auto rig = MakeRig(e);
        if (!rig) continue;
        kvtest::LoadImage(rig->App(), {{0x0C0000, Pattern(0x100, 3)}});
        ConfirmRange(rig->Ui());
        rig->Ui().Press(tk::IDCANCEL);
        EXPECT_EQ(RunBpr(*rig), 0);
        const auto boxes = rig->Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Stop programming.");
        EXPECT_EQ(boxes[0].icon, tk::Icon::None);
        EXPECT_EQ(Windows(rig->Ui()).titles, std::vector<std::string>({"Blank Check"}));
    }
}

}  // namespace
