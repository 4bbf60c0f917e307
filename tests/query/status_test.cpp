// The status window: every bit decoded, the exchange, and a silent chip.
#include <gtest/gtest.h>

#include "app/dialogs/states_dlg.h"
#include "query/states_cmd.h"
#include "tests/query/query_rig.h"

namespace {

using kv::CStatesDlg;
using kv::Edition;
using kvtest::QueryRig;

struct Decoded {
    uint8_t srd, srd1;
    const char *ready, *idCheck, *erase, *program, *afterBlock, *checkSum, *timeout, *over;
};

const Decoded kCases[] = {
    {0x80, 0x0C, "Ready", "Match", "Right", "Right", "Right", "Not match", "Right", "Right"},
    {0x00, 0x00, "Busy", "Not yet", "Right", "Right", "Right", "Not match", "Right", "Right"},
    {0x80, 0x08, "Ready", "", "Right", "Right", "Right", "Not match", "Right", "Right"},
    {0x80, 0x13, "Ready", "Not yet", "Right", "Right", "Right", "Match", "Timeout", "Over"},
    {0xB8, 0x04, "Ready", "Not match", "Error", "Error", "Error", "Not match", "Right", "Right"},
    {0x20, 0x02, "Busy", "Not yet", "Error", "Right", "Right", "Not match", "Timeout", "Right"},
    {0x10, 0x01, "Busy", "Not yet", "Right", "Error", "Right", "Not match", "Right", "Over"},
    {0x08, 0xFF, "Busy", "Match", "Right", "Right", "Error", "Match", "Timeout", "Over"},
};

TEST(StatusWindow, DecodesEveryBitIntoItsField) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "SRD " << int(c.srd) << " SRD1 " << int(c.srd1));
        QueryRig rig(Edition::Kelvane);
        rig.Loader().status = std::make_pair(c.srd, c.srd1);
        rig.Ui().Press(tk::IDOK);
        kv::CStatesCmd cmd(rig.App());
        EXPECT_TRUE(cmd.Run().Ok());
        ASSERT_EQ(rig.Ui().shown.size(), 1u);
        EXPECT_EQ(rig.Ui().shown[0].templateId, kv::IDD_STATES);
        const auto& f = rig.Ui().shown[0].fields;
        EXPECT_EQ(f.at(CStatesDlg::IDC_READY), c.ready);
        EXPECT_EQ(f.at(CStatesDlg::IDC_ID_CHECK), c.idCheck);
        EXPECT_EQ(f.at(CStatesDlg::IDC_ERASE), c.erase);
        EXPECT_EQ(f.at(CStatesDlg::IDC_PROGRAM), c.program);
        EXPECT_EQ(f.at(CStatesDlg::IDC_AFTER_BLOCK), c.afterBlock);
        EXPECT_EQ(f.at(CStatesDlg::IDC_CHECK_SUM), c.checkSum);
        EXPECT_EQ(f.at(CStatesDlg::IDC_RECEIVE_TIMEOUT), c.timeout);
        EXPECT_EQ(f.at(CStatesDlg::IDC_OVER_NUMBER), c.over);
        // One status request, no purge needed, nothing else.
        EXPECT_EQ(rig.Dev().SentBytes(), std::vector<uint8_t>({0x70}));
        EXPECT_TRUE(rig.Ui().MessageTexts().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(StatusWindow, SilentChipRecoversAndShowsNoWindow) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        QueryRig rig(e);
        rig.Loader().status.reset();
        rig.Ui().Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
        kv::CStatesCmd cmd(rig.App());
        EXPECT_FALSE(cmd.Run().Ok());
        EXPECT_TRUE(rig.Ui().shown.empty());
        EXPECT_EQ(rig.Ui().MessageTexts(), std::vector<std::string>({"Timeout.\nPush RESET.\nPort: COM1"}));
        EXPECT_TRUE(rig.Ui().QuitRequested());
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(StatusWindow, KelvliteLoadsTheRoutineAndEndsWithTheHandshake) {
    QueryRig rig(Edition::Kelvlite);
    rig.Loader().status = std::make_pair(uint8_t{0x80}, uint8_t{0x0C});
    rig.Ui().Press(tk::IDOK);
    kv::CStatesCmd cmd(rig.App());
    EXPECT_TRUE(cmd.Run().Ok());
    // Routine block of slot 5, the request, the handshake.
    EXPECT_EQ(rig.Dev().SentBytes(), std::vector<uint8_t>({0xEE, 5, 0x70, 0x06}));
    ASSERT_EQ(rig.Ui().shown.size(), 1u);
    EXPECT_EQ(rig.Ui().shown[0].fields.at(CStatesDlg::IDC_ID_CHECK), "Match");
}

TEST(StatusWindow, KelvliteSkipsTheHandshakeWithoutAReply) {
    QueryRig rig(Edition::Kelvlite);
    rig.Loader().status.reset();
    rig.Ui().Answer(tk::IDCANCEL);
    kv::CStatesCmd cmd(rig.App());
    EXPECT_FALSE(cmd.Run().Ok());
    EXPECT_EQ(rig.Dev().SentBytes(), std::vector<uint8_t>({0xEE, 5, 0x70}));
}

}  // namespace
