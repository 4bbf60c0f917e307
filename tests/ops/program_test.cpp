// Program: the frames it sends, its confirmations, its stops and reports.
#include <gtest/gtest.h>

#include "app/dialogs/pre_write_dlg.h"
#include "app/dialogs/set_address_dlg.h"
#include "ops/program_cmd.h"
#include "tests/ops/ops_rig.h"

namespace {

using kvtest::Counting;
using kvtest::FrameSummary;
using kvtest::MemoryRig;
using kvtest::SimRig;
using tk::ScriptEvent;

// Confirms the offered range in "Input Address" and in "Program next area.".
void ConfirmBoth(tk::ScriptedUi& ui) { ui.Press(tk::IDOK).Press(tk::IDOK); }

TEST(Program, OnePageIsExactlyOneFrameAfterClearStatus) {
    MemoryRig rig;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256)}});
    ConfirmBoth(rig.Ui());
    rig.Ui().Answer(tk::IDOK, "Program OK.");
    EXPECT_TRUE(kv::CProgramCmd(rig.App()).Run().Ok());

    std::vector<uint8_t> expected = {0x50, 0x41, 0x00, 0x0C};
    const auto data = Counting(256);
    expected.insert(expected.end(), data.begin(), data.end());
    expected.push_back(0x70);  // after the page
    expected.push_back(0x70);  // the final check
    EXPECT_EQ(rig.Dev().SentBytes(), expected);
    EXPECT_EQ(kvtest::MessageBoxes(rig.Ui()).back().icon, tk::Icon::Information);
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();

    // "Program next area." showed the range with six digits.
    const auto opened = rig.Ui().EventsOf(ScriptEvent::Type::DialogOpened);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].templateId, kv::IDD_PRE_WRITE);
}

TEST(Program, PausesTheIntervalAndReadsEachStatusWithTheShortTimeout) {
    MemoryRig rig;
    rig.App().programInterval = 25;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(512)}});
    ConfirmBoth(rig.Ui());
    // The first page's status comes after 200 ms: too late for 150 ms, so
    // the recovery runs and the page loop stops.
    int statusReads = 0;
    rig.Dev().SetResponder([&](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& block) {
        if (block == std::vector<uint8_t>{0x70}) d.Deliver({0x80, 0x00}, d.Clock().Now() + (statusReads++ ? 1 : 200));
    });
    rig.Ui().Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
    kv::CProgramCmd(rig.App()).Run();
    EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()).substr(0, 14), "50 41:000C 70");
    // 50 ms after clear status, then the frame, the interval, the status.
    const auto wire = rig.Dev().Sent();
    ASSERT_GE(wire.size(), 261u);
    EXPECT_EQ(wire[1].timeMs - wire[0].timeMs, 50u);
    EXPECT_EQ(wire[260].timeMs - wire[259].timeMs, 25u);
}

TEST(Program, AbsentPagesOfTheRangeGoOutBlank) {
    SimRig rig;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256, 1)}, {0x0C0200, Counting(16, 7)}});
    ConfirmBoth(rig.Ui());
    rig.Ui().Answer(tk::IDOK, "Program OK.");
    EXPECT_TRUE(kv::CProgramCmd(rig.App()).Run().Ok());
    EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()), "50 41:000C 70 41:010C 70 41:020C 70 70");
    const auto frames = kvtest::Frames(rig.Dev().SentBytes());
    EXPECT_EQ(std::vector<uint8_t>(frames[3].begin() + 3, frames[3].end()), std::vector<uint8_t>(256, 0xFF));
    // Bytes after the data of the last page are 0xFF too.
    EXPECT_EQ(frames[5][3 + 15], 7 + 15);
    EXPECT_EQ(frames[5][3 + 16], 0xFF);
    EXPECT_EQ(rig.chip.Flash().Read(0x0C0000), 1);
    EXPECT_EQ(rig.chip.Flash().Read(0x0C020F), 7 + 15);
}

TEST(Program, ErrorOnTheThirdPageStopsAfterThreeFrames) {
    SimRig rig;
    rig.chip.MutableFaults().programErrorPage = 0x0C0200;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256 * 6)}});
    ConfirmBoth(rig.Ui());
    rig.Ui().Answer(tk::IDOK, "Program error.");
    EXPECT_FALSE(kv::CProgramCmd(rig.App()).Run().Ok());
    EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()), "50 41:000C 70 41:010C 70 41:020C 70 70");
    EXPECT_EQ(kvtest::MessageBoxes(rig.Ui()).back().icon, tk::Icon::Stop);
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
}

// No way out of a page loop that stopped early ends in "Program OK.": a
// lost status reply ends after the recovery without a message of its own and
// without the closing status read, and a status that cannot be trusted stops
// the loop and reads as an error.
TEST(Program, NeverOkAfterTheLoopStoppedEarly) {
    struct Case {
        const char* name;
        std::optional<sim::ReplyFault> fault;
        std::optional<uint32_t> errorPage;
        std::string frames;
        std::vector<std::string> messages;
    };
    sim::ReplyFault lost{.kind = sim::ReplyFault::Kind::Silent, .code = 0x70, .nth = 2, .keep = 0, .stray = {}};
    // A stray byte ahead of the first status: taken for SRD (not ready), and
    // its SRD1 is left on the line for the next read, which drops it.
    sim::ReplyFault stray{.kind = sim::ReplyFault::Kind::Stray, .code = 0x70, .nth = 1, .keep = 0, .stray = {0x00}};
    const Case cases[] = {
        {"status reply lost",
         lost,
         std::nullopt,
         "50 41:000C 70 41:010C 70",
         {"Timeout.\nPush RESET.\nPort: COM1\nThe flash is now partly programmed."}},
        {"stray byte, clean chip", stray, std::nullopt, "50 41:000C 70 70", {"Program error."}},
        {"stray byte, program error", stray, 0x0C0000, "50 41:000C 70 70", {"Program error."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        if (c.fault) rig.chip.AddReplyFault(*c.fault);
        rig.chip.MutableFaults().programErrorPage = c.errorPage;
        kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256 * 3)}});
        ConfirmBoth(rig.Ui());
        // The recovery rebuilds the link: OK, and OK in "Set baudrate".
        if (c.messages[0] != "Program error.") rig.Ui().Answer(tk::IDOK).Press(tk::IDOK);
        EXPECT_FALSE(kv::CProgramCmd(rig.App()).Run().Ok());
        const std::string frames = FrameSummary(rig.Dev().SentBytes());
        EXPECT_EQ(frames.substr(0, c.frames.size()), c.frames);
        EXPECT_EQ(rig.Messages(), c.messages);
    }
}

TEST(Program, CancelInProgramNextAreaSendsNothing) {
    MemoryRig rig;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256)}});
    rig.Ui().Press(tk::IDOK).Press(tk::IDCANCEL).Answer(tk::IDOK, "Stop programming.");
    EXPECT_FALSE(kv::CProgramCmd(rig.App()).Run().Ok());
    EXPECT_TRUE(rig.Dev().SentBytes().empty());
    ASSERT_EQ(kvtest::MessageBoxes(rig.Ui()).size(), 1u);
    EXPECT_EQ(kvtest::MessageBoxes(rig.Ui())[0].icon, tk::Icon::None);
    EXPECT_TRUE(rig.Ui().EventsOf(ScriptEvent::Type::ModelessShown).empty());
}

TEST(Program, CancelInTheProgressWindowStopsAfterThePageInProgress) {
    MemoryRig rig;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256 * 8)}});
    ConfirmBoth(rig.Ui());
    rig.Ui().CancelProgressAfter(2).Answer(tk::IDOK, "Stop programming.");
    EXPECT_FALSE(kv::CProgramCmd(rig.App()).Run().Ok());
    // The second frame went out; its pause and status check did not follow.
    EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()), "50 41:000C 70 41:010C");
    const auto boxes = kvtest::MessageBoxes(rig.Ui());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, tk::Icon::Information);
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(Program, CancelInInputAddressEndsSilently) {
    MemoryRig rig;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256)}});
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_FALSE(kv::CProgramCmd(rig.App()).Run().Ok());
    EXPECT_TRUE(rig.Dev().SentBytes().empty());
    EXPECT_TRUE(rig.Messages().empty());
}

TEST(Program, ProgressWindowShowsTitleMessageAndBar) {
    MemoryRig rig;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256 * 5)}});
    ConfirmBoth(rig.Ui());
    EXPECT_TRUE(kv::CProgramCmd(rig.App()).Run().Ok());
    const auto destroyed = rig.Ui().EventsOf(ScriptEvent::Type::ModelessDestroyed);
    ASSERT_EQ(destroyed.size(), 1u);
    EXPECT_EQ(destroyed[0].templateId, kv::IDD_PROGRESS);
    EXPECT_EQ(destroyed[0].caption, "Program");
    EXPECT_EQ(destroyed[0].messages, std::vector<std::string>{"Program."});
    // 0x4FF - 0x100 = 1023 bytes: two steps of 500; pages at 0, 256, 512, 768, 1024.
    EXPECT_EQ(destroyed[0].ranges, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(destroyed[0].positions, (std::vector<int>{0, 0, 0, 1, 1, 2}));
    // The figure names each page as it is done.
    EXPECT_EQ(destroyed[0].barTexts, (std::vector<std::string>{"0C0000", "0C0100", "0C0200", "0C0300", "0C0400"}));
}

TEST(Program, KelvliteLoadsRoutinesAndReadsTheAcknowledgementAfterEachFrame) {
    MemoryRig rig(kv::Edition::Kelvlite);
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, Counting(256)}});
    ConfirmBoth(rig.Ui());
    rig.Ui().Answer(tk::IDOK, "Program OK.");
    EXPECT_TRUE(kv::CProgramCmd(rig.App()).Run().Ok());
    std::vector<uint8_t> expected = {0xEE, 6, 0xEE, 1, 0x41, 0x00, 0x0C};
    const auto data = Counting(256);
    expected.insert(expected.end(), data.begin(), data.end());
    for (int i = 0; i < 2; ++i) expected.insert(expected.end(), {0xEE, 5, 0x70, 0x06});
    EXPECT_EQ(rig.Dev().SentBytes(), expected);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(Program, KelvliteMissingAcknowledgementLeavesTheLoop) {
    MemoryRig rig(kv::Edition::Kelvlite);
    rig.ackPageFrames = false;
    kvtest::LoadImage(rig.App().Image(), {{0x0C0000, std::vector<uint8_t>(256 * 4, 0x11)}});
    ConfirmBoth(rig.Ui());
    // The recovery asks; OK rebuilds the link and asks the rate (cancelled).
    const std::string lost = "Timeout.\nPush RESET.\nPort: COM1\nThe flash is now partly programmed.";
    rig.Ui().Answer(tk::IDOK, lost);
    EXPECT_FALSE(kv::CProgramCmd(rig.App()).Run().Ok());
    const auto sent = rig.Dev().SentBytes();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x41), 1);
    // The recovery's message is the only one: no closing status verdict.
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{lost});
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    EXPECT_TRUE(rig.Ui().EventsOf(ScriptEvent::Type::ModelessShown).size() ==
                rig.Ui().EventsOf(ScriptEvent::Type::ModelessDestroyed).size());
}

}  // namespace
