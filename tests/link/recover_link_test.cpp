// Recovery after a lost reply: the two messages, Cancel ends the program,
// OK rebuilds the link at 9600 bps and runs the baud-rate setting.
#include <gtest/gtest.h>

#include "link/setting_cmd.h"
#include "tests/link/link_rig.h"

namespace {

using kv::Edition;
using kvtest::LinkRig;
using tk::ScriptEvent;

void TimeOutARead(LinkRig& rig) {
    uint8_t b;
    ASSERT_EQ(rig.Channel().Read(&b, 1), 0);
    ASSERT_TRUE(rig.Channel().TimedOut());
}

TEST(RecoverLink, MessageFollowsHowTheLastReadEnded) {
    struct Case {
        bool lineError;
        const char* text;
    };
    for (const Case& c : {Case{false, "Timeout.\nPush RESET.\nPort: COM1"},
                          Case{true, "Communication error.\nPush RESET.\nPort: COM1"}}) {
        LinkRig rig;
        if (c.lineError) rig.Dev().InjectLineError();
        uint8_t b;
        ASSERT_EQ(rig.Channel().Read(&b, 1), 0);
        rig.Ui().Answer(tk::IDCANCEL, c.text);
        EXPECT_EQ(rig.App().RecoverLink(), 0u);
        const auto boxes = rig.Ui().EventsOf(ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Kelvane");
        EXPECT_EQ(boxes[0].icon, tk::Icon::Stop);
        EXPECT_EQ(boxes[0].buttons, tk::Buttons::OkCancel);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(RecoverLink, CancelReleasesTheLockClosesTheChannelAndQuits) {
    LinkRig rig;
    rig.App().linkReady = 1;
    TimeOutARead(rig);
    rig.Dev().ClearSent();
    rig.Ui().Answer(tk::IDCANCEL);
    EXPECT_EQ(rig.App().RecoverLink(), 0u);
    EXPECT_EQ(rig.Lock().Releases(), 1);
    EXPECT_FALSE(rig.Lock().Held());
    EXPECT_EQ(rig.Channel().IsOpen(), 0);
    EXPECT_TRUE(rig.Ui().QuitRequested());
    EXPECT_EQ(rig.Ui().ExitCode(), 0);
    EXPECT_TRUE(rig.Dev().SentBytes().empty());
    EXPECT_EQ(rig.App().linkReady, 1);  // nothing else changes
}

TEST(RecoverLink, OkWakesTheLoaderSendsTheZeroIdAndRunsTheSetting) {
    LinkRig rig;
    rig.PortAt(38400);
    rig.StoreCommState(38400, 8, 0, 0);
    rig.App().linkReady = 1;
    rig.App().idVerified = 1;
    rig.Loader().status = std::make_pair(uint8_t{0x80}, uint8_t{0x0C});  // ID verified
    TimeOutARead(rig);
    rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);  // the setting keeps 9600

    EXPECT_EQ(rig.App().RecoverLink(), 9600u);

    std::vector<uint8_t> expected = {0x00};
    expected.insert(expected.end(), 16, 0x00);
    expected.push_back(0xB0);  // wake-up, nothing read
    const std::vector<uint8_t> zeroId = {0xF5, 0, 0, 0, 0x07, 0, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), zeroId.begin(), zeroId.end());
    expected.insert(expected.end(), {0xB0, 0xB0, 0xB0, 0x70});  // the setting at 9600
    EXPECT_EQ(rig.Dev().SentBytes(), expected);
    for (const auto& w : rig.Dev().Sent()) EXPECT_EQ(w.baud, 9600u);

    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Baundrate"), "9600");
    EXPECT_EQ(rig.App().linkReady, 1);
    EXPECT_EQ(rig.App().idVerified, 1);  // from the setting's status read
    const auto opened = rig.Ui().EventsOf(ScriptEvent::Type::DialogOpened);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].templateId, kv::IDD_SET_COMM);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(RecoverLink, OkClearsFlagsAndSettingCancelAnswersZero) {
    LinkRig rig;
    rig.StoreCommState(57600, 7, 1, 2);
    rig.App().linkReady = 1;
    rig.App().idVerified = 1;
    TimeOutARead(rig);
    rig.Ui().Answer(tk::IDOK);  // then Cancel in "Set baudrate"
    EXPECT_EQ(rig.App().RecoverLink(), 0u);
    EXPECT_EQ(rig.App().linkReady, 0);
    EXPECT_EQ(rig.App().idVerified, 0);
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Baundrate"), "9600");
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Byte"), "8");
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Stop Bit"), "0");
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Parity"), "0");
    EXPECT_FALSE(rig.Ui().QuitRequested());
}

TEST(RecoverLink, ModeOneSendsNoZeroIdAndKelvliteSendsItWithoutRoutine) {
    LinkRig boot(Edition::Kelvane, 1);
    TimeOutARead(boot);
    boot.Ui().Answer(tk::IDOK);
    boot.App().RecoverLink();
    for (uint8_t b : boot.Dev().SentBytes()) EXPECT_NE(b, 0xF5);

    LinkRig lite(Edition::Kelvlite);
    TimeOutARead(lite);
    lite.Ui().Answer(tk::IDOK);
    lite.App().RecoverLink();
    std::vector<uint8_t> expected = {0xB0};
    expected.insert(expected.end(), 15, 0x00);
    expected.insert(expected.end(), {0xF5, 0, 0, 0, 0x07, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(lite.Dev().SentBytes(), expected);
}

}  // namespace
