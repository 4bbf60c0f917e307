// The baud-rate setting: dialog preset, the move to the chosen rate, what is
// stored, and the ID state read afterwards.
#include <gtest/gtest.h>

#include "app/dialogs/set_comm_dlg.h"
#include "link/setting_cmd.h"
#include "tests/link/link_rig.h"

namespace {

using kv::CSettingCmd;
using kv::Edition;
using kvtest::LinkRig;
using tk::ScriptEvent;

uint32_t RunSetting(LinkRig& rig) {
    CSettingCmd cmd(rig.App());
    return cmd.Run();
}

TEST(SettingCmd, StoredByteSizeAndParityAreKeptWhileTheLineRuns8N1) {
    LinkRig rig;
    rig.StoreCommState(19200, 7, 1, 2);
    rig.PortAt(19200);
    rig.Ui().Type(kv::CSetCommDlg::IDC_BAUD_RATE, "38400").Press(tk::IDOK);
    EXPECT_EQ(RunSetting(rig), 38400u);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xB1, 0xB2, 0xB2, 0x70}));
    const auto& line = rig.Dev().Line();
    EXPECT_EQ(line.baud, 38400u);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Baundrate"), "38400");
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Byte"), "7");
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Stop Bit"), "1");
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Parity"), "2");
    EXPECT_EQ(rig.App().linkReady, 1);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(SettingCmd, DialogPresetAndWaitCursor) {
    LinkRig rig;
    rig.StoreCommState(38400, 8, 0, 0);
    rig.PortAt(38400);
    rig.Ui().Press(tk::IDOK);
    EXPECT_EQ(RunSetting(rig), 38400u);
    const auto& events = rig.Ui().Events();
    size_t closed = 0, begin = 0, end = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].type == ScriptEvent::Type::DialogClosed) closed = i;
        if (events[i].type == ScriptEvent::Type::WaitBegin) begin = i;
        if (events[i].type == ScriptEvent::Type::WaitEnd) end = i;
    }
    EXPECT_LT(closed, begin);
    EXPECT_LT(begin, end);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xB2, 0xB2, 0xB2, 0x70}));
}

TEST(SettingCmd, CancelChangesNothing) {
    LinkRig rig;
    rig.App().linkReady = 1;
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_EQ(RunSetting(rig), 0u);
    EXPECT_TRUE(rig.Dev().SentBytes().empty());
    EXPECT_EQ(rig.Profile().Writes(), 0);
    EXPECT_EQ(rig.App().linkReady, 1);
    EXPECT_TRUE(rig.Ui().EventsOf(ScriptEvent::Type::WaitBegin).empty());
}

TEST(SettingCmd, EmptyBaudTextKeepsThePreset) {
    LinkRig rig;  // nothing stored: 9600
    rig.Ui().Type(kv::CSetCommDlg::IDC_BAUD_RATE, "").Press(tk::IDOK);
    EXPECT_EQ(RunSetting(rig), 9600u);
    EXPECT_EQ(rig.Profile().Get("Last Comm State", "Baundrate"), "9600");
}

TEST(SettingCmd, IdStateFromTheStatusReplyInModeZero) {
    struct Case {
        uint8_t srd1;
        int before;
        int after;
    };
    const Case cases[] = {{0x04, 1, 0}, {0x0C, 0, 1}, {0x08, 1, 1}};
    for (const auto& c : cases) {
        LinkRig rig;
        rig.Loader().status = std::make_pair(uint8_t{0x80}, c.srd1);
        rig.App().idVerified = c.before;
        rig.Ui().Press(tk::IDOK);
        EXPECT_EQ(RunSetting(rig), 9600u);
        EXPECT_EQ(rig.App().idVerified, c.after) << int(c.srd1) << " " << c.before;
    }
}

TEST(SettingCmd, MissingStatusReplyKeepsTheFlagAndRunsNoRecovery) {
    LinkRig rig;
    rig.Loader().status.reset();
    rig.App().idVerified = 1;
    rig.Ui().Press(tk::IDOK);
    EXPECT_EQ(RunSetting(rig), 9600u);
    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_EQ(rig.App().linkReady, 1);
    EXPECT_TRUE(rig.Messages().empty());
}

TEST(SettingCmd, ModeOneVerifiesWithoutStatusRead) {
    LinkRig rig(Edition::Kelvane, 1);
    rig.Ui().Press(tk::IDOK);
    EXPECT_EQ(RunSetting(rig), 9600u);
    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xB0, 0xB0, 0xB0}));
}

TEST(SettingCmd, FailedFinalCheckWithRecoveryCancelledAnswersZero) {
    LinkRig rig;
    rig.App().linkReady = 1;
    rig.Dev().SetResponder([](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& b) {
        if (d.Line().baud == 9600 && b.size() == 1) d.DeliverNow(b);
    });
    rig.Ui().Type(kv::CSetCommDlg::IDC_BAUD_RATE, "57600").Press(tk::IDOK).Answer(tk::IDCANCEL);
    EXPECT_EQ(RunSetting(rig), 0u);
    EXPECT_EQ(rig.App().linkReady, 0);
    EXPECT_FALSE(rig.Profile().Get("Last Comm State", "Baundrate"));
    EXPECT_TRUE(rig.Ui().QuitRequested());
}

TEST(SettingCmd, KelvliteStatusReadWithRoutineAndHandshake) {
    // The handshake ends the status read also when its reply is missing; the
    // flag then keeps its value and no recovery runs.
    for (bool answered : {true, false}) {
        LinkRig rig(Edition::Kelvlite);
        if (answered)
            rig.Loader().status = std::make_pair(uint8_t{0x80}, uint8_t{0x0C});
        else
            rig.Loader().status.reset();
        rig.App().idVerified = answered ? 0 : 1;
        rig.Ui().Press(tk::IDOK);
        EXPECT_EQ(RunSetting(rig), 9600u);
        const std::vector<uint8_t> expected = {0xEE, 10,   0xB0, 0x06, 0xEE, 10, 0xB0,  // switch
                                               0x06, 0xEE, 10,   0xB0, 0x06,            // check
                                               0xEE, 5,    0x70, 0x06};                 // status
        EXPECT_EQ(rig.Dev().SentBytes(), expected) << answered;
        EXPECT_EQ(rig.App().idVerified, 1);
        EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    }
}

}  // namespace
