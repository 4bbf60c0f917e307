// The operation runner: progress window, page loop, the range check shared
// by every range operation, and the panel given back on every way out.
#include <gtest/gtest.h>

#include "app/dialogs/progress_dlg.h"
#include "ops/blank_cmd.h"
#include "ops/page_loop.h"
#include "ops/program_cmd.h"
#include "ops/read_cmd.h"
#include "tests/ops/ops_rig.h"

namespace {

using kv::CPageLoop;
using kv::CProgressDlg;
using kvtest::EnterRange;
using kvtest::MemoryRig;
using tk::ScriptEvent;

TEST(ProgressWindow, NoFlagNoWindow) {
    MemoryRig rig;
    EXPECT_EQ(CProgressDlg::Open(rig.App(), nullptr), nullptr);
    EXPECT_TRUE(rig.Ui().EventsOf(ScriptEvent::Type::ModelessShown).empty());
}

TEST(ProgressWindow, DisablesItsParentAndGivesBackWhatItFound) {
    for (bool enabledBefore : {true, false}) {
        MemoryRig rig;
        tk::Dialog parent(rig.App().Ui(), kv::PanelTemplate(rig.App().edition()));
        parent.EnableWindow(enabledBefore);
        int flag = 0;
        CProgressDlg* dlg = CProgressDlg::Open(rig.App(), &flag, &parent);
        ASSERT_NE(dlg, nullptr);
        EXPECT_FALSE(parent.IsWindowEnabled());
        EXPECT_TRUE(dlg->IsWindowEnabled());
        dlg->Command(tk::IDOK);  // Enter does nothing
        EXPECT_EQ(flag, 0);
        EXPECT_TRUE(dlg->IsWindow());
        dlg->Close();  // as Cancel: the window deletes itself
        EXPECT_EQ(flag, 1);
        EXPECT_EQ(parent.IsWindowEnabled(), enabledBefore);
        EXPECT_EQ(rig.Ui().EventsOf(ScriptEvent::Type::ModelessDestroyed).size(), 1u);
    }
}

TEST(ProgressWindow, PrepareSetsTextTitleAndBar) {
    MemoryRig rig;
    int flag = 0;
    CProgressDlg* dlg = CProgressDlg::Open(rig.App(), &flag);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->Caption(), "Titel");
    // A whole 16 MiB space: 33553 steps, beyond a signed 16-bit value.
    dlg->Prepare("Read check.", "Read check.", 0, CPageLoop::BarHigh(0, 0xFFFFFF), 0);
    EXPECT_EQ(dlg->Caption(), "Read check.");
    EXPECT_EQ(dlg->GetItemText(CProgressDlg::IDC_MESSAGE), "Read check.");
    EXPECT_EQ(dlg->State(CProgressDlg::IDC_PROGRESS).rangeHigh, 33553);
    dlg->SetPos(33553);
    EXPECT_EQ(dlg->State(CProgressDlg::IDC_PROGRESS).pos, 33553);
    dlg->Close();
}

TEST(PageLoop, BarArithmetic) {
    EXPECT_EQ(CPageLoop::BarHigh(0x0C0000, 0x0FFFFF), (0x3FFFF - 256) / 500);
    EXPECT_EQ(CPageLoop::BarHigh(0x000000, 0xFFFFFF), 33553);
    EXPECT_EQ(CPageLoop::BarPos(0x0C0000, 0x0C0000), 0u);
    EXPECT_EQ(CPageLoop::BarPos(0x0C0000, 0x0C0200), 1u);
    EXPECT_EQ(CPageLoop::BarPos(0x000000, 0xFFFF00), 33553u);
}

TEST(PageLoop, OnePageRunsOnceAndEveryHookInOrder) {
    MemoryRig rig;
    CPageLoop loop(rig.App(), 0x0C0000, 0x0C00FF);
    ASSERT_TRUE(loop.Open("m", "t"));
    std::vector<std::string> calls;
    const uint64_t before = rig.Clock().Now();
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t a) {
        calls.push_back("work " + kv::CCheckMemorryCmd::ToHex6(a));
        return true;
    };
    steps.pauseMs = 7;
    steps.check = [&](uint32_t a) {
        calls.push_back("check " + kv::CCheckMemorryCmd::ToHex6(a));
        return true;
    };
    EXPECT_EQ(loop.Run(steps), CPageLoop::End::Completed);
    EXPECT_EQ(calls, (std::vector<std::string>{"work 0C0000", "check 0C0000"}));
    EXPECT_EQ(rig.Clock().Now() - before, 7u);
    EXPECT_EQ(rig.Ui().PumpCount(), 1);
    loop.Close();
    EXPECT_FALSE(loop.Cancelled());
}

TEST(PageLoop, StopsWhereWorkOrCheckSaySoAndAfterCancel) {
    struct Case {
        int failWorkAt, failCheckAt, cancelAtPump;
        CPageLoop::End end;
        uint32_t last;
        int checks;
        uint32_t pauseMs = 0;
        uint64_t sleptMs = 0;
    };
    const Case cases[] = {
        {-1, -1, 0, CPageLoop::End::Completed, 0x0C0700, 8},
        {2, -1, 0, CPageLoop::End::Stopped, 0x0C0200, 2},
        {-1, 2, 0, CPageLoop::End::Stopped, 0x0C0200, 3},
        {-1, -1, 3, CPageLoop::End::Cancelled, 0x0C0200, 2},
        // A long pause keeps taking Cancel: pumps after 100 and 200 ms of it.
        {-1, -1, 3, CPageLoop::End::Cancelled, 0x0C0000, 0, 100000, 200},
        {-1, -1, 0, CPageLoop::End::Completed, 0x0C0700, 8, 150, 8 * 150},
    };
    for (const auto& c : cases) {
        MemoryRig rig;
        if (c.cancelAtPump) rig.Ui().CancelProgressAfter(c.cancelAtPump);
        CPageLoop loop(rig.App(), 0x0C0000, 0x0C07FF);
        ASSERT_TRUE(loop.Open("m", "t"));
        int page = 0;
        int checks = 0;
        CPageLoop::Steps steps;
        steps.work = [&](uint32_t) { return page++ != c.failWorkAt; };
        steps.pauseMs = c.pauseMs;
        steps.check = [&](uint32_t) { return checks++ != c.failCheckAt; };
        const uint64_t before = rig.Clock().Now();
        EXPECT_EQ(loop.Run(steps), c.end);
        EXPECT_EQ(rig.Clock().Now() - before, c.sleptMs);
        EXPECT_EQ(loop.LastAddress(), c.last);
        EXPECT_EQ(checks, c.checks);
        EXPECT_EQ(loop.Cancelled(), c.end == CPageLoop::End::Cancelled);
        loop.Close();
        EXPECT_EQ(rig.Ui().EventsOf(ScriptEvent::Type::ModelessDestroyed).size(), 1u);
    }
}

TEST(PageLoop, RangeAtTheTopOfTheAddressSpaceEnds) {
    MemoryRig rig;
    CPageLoop loop(rig.App(), 0xFFFFFE00, 0xFFFFFFFF);
    ASSERT_TRUE(loop.Open("m", "t"));
    int pages = 0;
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t) { return ++pages < 10; };
    EXPECT_EQ(loop.Run(steps), CPageLoop::End::Completed);
    EXPECT_EQ(pages, 2);
}

TEST(PageLoop, NoWindowNoPages) {
    MemoryRig rig;
    rig.Ui().Quit(0);  // a pending quit: no window can be shown
    CPageLoop loop(rig.App(), 0x0C0000, 0x0C00FF);
    EXPECT_FALSE(loop.Open("m", "t"));
    int pages = 0;
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t) { return ++pages > 0; };
    EXPECT_EQ(loop.Run(steps), CPageLoop::End::Stopped);
    EXPECT_EQ(pages, 0);
}

// Runs one range operation by its panel button.
int RunOperation(kv::CKelvixApp& app, int which) {
    switch (which) {
        case 0: return kv::CProgramCmd(app).Run().Ok() ? 1 : 0;
        case 1: return kv::CBlankCmd(app).Run().Ok() ? 1 : 0;
        default: return kv::CReadCmd(app).Run().Ok() ? 1 : 0;
    }
}
const char* const kOperationNames[] = {"program", "blank", "read"};

TEST(RangeCheck, RangesBeyondTheChipAreRefusedBeforeAnyTraffic) {
    struct Case {
        const char* start;
        const char* end;
        const char* message;
    };
    const Case cases[] = {
        {"0C0000", "1000000", "Address out of range.\nThe last address is FFFFFF."},
        {"FFFF00", "FFFFFFFF", "Address out of range.\nThe last address is FFFFFF."},
        {"0", "123456789", "Address out of range.\nThe last address is FFFFFF."},
        {"0", "100000000", "Address out of range.\nThe last address is FFFFFF."},
        {"0C0000", "1000C01FF", "Address out of range.\nThe last address is FFFFFF."},
        {"100000000", "200000000", "Address out of range.\nThe last address is FFFFFF."},
        {"0C1000", "0C0000", "Too small start address."},
        {"1000000", "0FFFFF", "Too small start address."},
    };
    for (int which = 0; which < 3; ++which) {
        for (kv::Edition edition : {kv::Edition::Kelvane, kv::Edition::Kelvlite}) {
            for (const auto& c : cases) {
                SCOPED_TRACE(std::string(kOperationNames[which]) + " " + c.start + ".." + c.end);
                MemoryRig rig(edition);
                EnterRange(rig.Ui(), c.start, c.end);
                EXPECT_EQ(RunOperation(rig.App(), which), 0);
                EXPECT_TRUE(rig.Dev().SentBytes().empty());
                const auto boxes = kvtest::MessageBoxes(rig.Ui());
                ASSERT_EQ(boxes.size(), 1u);
                EXPECT_EQ(boxes[0].text, c.message);
                EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
                EXPECT_TRUE(rig.Ui().EventsOf(ScriptEvent::Type::ModelessShown).empty());
            }
        }
    }
}

TEST(RangeCheck, TheLastPageOfTheChipIsReachable) {
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(kOperationNames[which]);
        MemoryRig rig;
        EnterRange(rig.Ui(), "FFFF00", "FFFFFF");
        if (which == 0) rig.Ui().Press(tk::IDOK);  // "Program next area."
        RunOperation(rig.App(), which);
        const auto frames = kvtest::Frames(rig.Dev().SentBytes());
        int pages = 0;
        for (const auto& f : frames)
            if ((f[0] == 0x41 || f[0] == 0xFF) && f.size() >= 3) {
                ++pages;
                EXPECT_EQ(f[1], 0xFF);
                EXPECT_EQ(f[2], 0xFF);
            }
        EXPECT_EQ(pages, 1);
    }
}

// Every way out of a page loop gives the panel back.
TEST(PanelState, ProgressWindowDisablesThePanelAndEveryWayOutEnablesIt) {
    struct Case {
        int which;
        const char* name;
        std::function<void(MemoryRig&)> arrange;
    };
    const Case cases[] = {
        {0, "program completes", [](MemoryRig&) {}},
        {0, "program cancelled", [](MemoryRig& r) { r.Ui().CancelProgressAfter(2); }},
        {0, "program error", [](MemoryRig& r) { r.Loader().status = std::make_pair(uint8_t{0x90}, uint8_t{0}); }},
        {0, "program status lost",
         [](MemoryRig& r) {
             r.Loader().status.reset();
             r.Ui().Answer(tk::IDCANCEL);
         }},
        {1, "blank completes", [](MemoryRig&) {}},
        {1, "blank difference", [](MemoryRig& r) { r.memory[0x0C0180] = 0; }},
        {1, "blank cancelled", [](MemoryRig& r) { r.Ui().CancelProgressAfter(1); }},
        {1, "blank read lost",
         [](MemoryRig& r) {
             r.answerPageReads = false;
             r.Ui().Answer(tk::IDCANCEL);
         }},
        {2, "read difference", [](MemoryRig& r) { r.memory[0x0C0000] = 0; }},
        {2, "read cancelled", [](MemoryRig& r) { r.Ui().CancelProgressAfter(2); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRig rig;
        kvtest::StandInPanel panel(rig.App(), 1009, [&] { RunOperation(rig.App(), c.which); });
        rig.Ui().Press(1009);
        EnterRange(rig.Ui(), "0C0000", "0C03FF");
        if (c.which == 0) rig.Ui().Press(tk::IDOK);
        c.arrange(rig);
        panel.DoModal();
        std::vector<bool> states;
        for (const auto& e : rig.Ui().EventsOf(ScriptEvent::Type::WindowEnabled))
            if (e.templateId == kv::IDD_KELVIX_DIALOG) states.push_back(e.enabled);
        EXPECT_EQ(states, (std::vector<bool>{false, true})) << rig.Ui().TranscriptText();
        EXPECT_EQ(rig.Ui().EventsOf(ScriptEvent::Type::ModelessDestroyed).size(), 1u);
    }
}

}  // namespace
