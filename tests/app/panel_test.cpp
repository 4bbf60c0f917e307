// The main panel: gates, probes, dispatch, Exit and the About entry.
#include <gtest/gtest.h>

#include "app/kelvix_dlg.h"
#include "res/strings.h"
#include "res/templates.h"
#include "tests/app/app_rig.h"

namespace {

using kv::CKelvixDlg;
using kv::Edition;
using kvtest::AppRig;
using tk::ScriptEvent;
using Bytes = std::vector<uint8_t>;

const Bytes kExit9600 = {0xB0, 0xB0, 0xB0};  // current rate, 9600, check at 9600

const std::vector<int> kIdGated = {CKelvixDlg::IDC_ERASE,   CKelvixDlg::IDC_EPR,     CKelvixDlg::IDC_BLANK,
                                   CKelvixDlg::IDC_READ,    CKelvixDlg::IDC_PROGRAM, CKelvixDlg::IDC_BPR,
                                   CKelvixDlg::IDC_DOWNLOAD};
const std::vector<int> kLinkGated = {CKelvixDlg::IDC_LOAD_ID, CKelvixDlg::IDC_SETTING, CKelvixDlg::IDC_VERSION,
                                     CKelvixDlg::IDC_STATUS};

struct PanelRig : AppRig {
    PanelRig(Edition e, sim::Options chip, int mode, int link, int id) : AppRig(e, std::move(chip)) {
        BringUp();
        App().programMode = mode;
        App().linkReady = link;
        App().idVerified = id;
        start = SentCount();
    }
    // Runs the panel with the script set up so far; the user then leaves with Exit.
    int Show() {
        CKelvixDlg panel(App());
        return panel.DoModal();
    }
    Bytes Sent() const { return SentFrom(start); }
    size_t start = 0;
};

Bytes Plus(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(PanelGates, LinkDownRefusesEveryOperationWithOneMessage) {
    std::vector<int> all = kIdGated;
    all.insert(all.end(), kLinkGated.begin(), kLinkGated.end());
    for (int id : all) {
        if (id == CKelvixDlg::IDC_SETTING) continue;  // it sets the link: below
        PanelRig rig(Edition::Kelvane, kvtest::FlashChip(), 0, 0, 1);
        rig.Ui().Press(id);
        EXPECT_EQ(rig.Show(), tk::IDCANCEL);
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Can not communicate."}) << id;
        EXPECT_EQ(rig.Ui().EventsOf(ScriptEvent::Type::MessageBox).front().icon, tk::Icon::Information);
        EXPECT_EQ(rig.Sent(), kExit9600) << id;
        EXPECT_EQ(rig.DialogsOpened(), std::vector<int>{kv::IDD_KELVIX_DIALOG}) << id;
    }
}

// Setting... is how a link that is down gets set: it runs without the gate
// and the probe, and a setting that succeeds brings the panel back.
TEST(PanelGates, SettingRunsWhileTheLinkIsDownAndSetsIt) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        std::optional<sim::Options> chip = kvtest::FlashChip();
        if (e == Edition::Kelvlite) {
            auto firmware = kvtest::BuildFirmware();
            if (!firmware) continue;
            chip = kvtest::LiteChip(*firmware);
        }
        for (bool confirm : {true, false}) {
            SCOPED_TRACE(std::string(kv::ProgramName(e)) + (confirm ? " OK" : " Cancel"));
            PanelRig rig(e, *chip, 0, 0, 1);
            rig.Ui().Press(CKelvixDlg::IDC_SETTING).Press(confirm ? tk::IDOK : tk::IDCANCEL);
            if (confirm) rig.Ui().Press(CKelvixDlg::IDC_VERSION).Press(tk::IDOK);
            EXPECT_EQ(rig.Show(), tk::IDCANCEL);
            EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
            EXPECT_EQ(rig.App().linkReady, confirm ? 1 : 0);
            std::vector<int> dialogs = {kv::IDD_KELVIX_DIALOG, kv::IDD_SET_COMM};
            if (confirm) dialogs.push_back(kv::IDD_VERSION);
            EXPECT_EQ(rig.DialogsOpened(), dialogs);
        }
    }
}

TEST(PanelGates, IdNotPassedRefusesTheMemoryOperations) {
    for (int id : kIdGated) {
        PanelRig rig(Edition::Kelvane, kvtest::FlashChip(), 0, 1, 0);
        rig.Ui().Press(id);
        rig.Show();
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Did not pass ID."}) << id;
        EXPECT_EQ(rig.Sent(), kExit9600) << id;
    }
}

TEST(PanelGates, ProbeOfEachButtonInEachMode) {
    struct Case {
        int mode;
        int button;
        uint8_t probe;
        std::vector<int> dialogs;  // opened after the panel
    };
    const std::vector<Case> cases = {
        {0, CKelvixDlg::IDC_STATUS, 0x70, {}},
        {0, CKelvixDlg::IDC_LOAD_ID, 0x70, {kv::IDD_ID_CHECK}},
        {0, CKelvixDlg::IDC_SETTING, 0x70, {kv::IDD_SET_COMM}},
        {0, CKelvixDlg::IDC_VERSION, 0x70, {}},
        {0, CKelvixDlg::IDC_DOWNLOAD, 0x70, {}},
        {0, CKelvixDlg::IDC_PROGRAM, 0x70, {}},
        {1, CKelvixDlg::IDC_STATUS, 0x70, {}},  // the status probe in every mode
        {1, CKelvixDlg::IDC_LOAD_ID, 0xB0, {kv::IDD_SELECT}},
        {1, CKelvixDlg::IDC_SETTING, 0xB0, {kv::IDD_SET_COMM}},
        {1, CKelvixDlg::IDC_DOWNLOAD, 0xB0, {}},
        {1, CKelvixDlg::IDC_VERSION, 0xB0, {}},
        {1, CKelvixDlg::IDC_READ, 0x70, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " button " + std::to_string(c.button));
        PanelRig rig(Edition::Kelvane, c.mode == 1 ? kvtest::BootLoaderChip() : kvtest::FlashChip(), c.mode, 1, 1);
        rig.App().firstRun = 1;
        rig.Ui().Press(c.button);
        rig.Show();
        for (const auto& text : rig.Messages()) {
            EXPECT_NE(text, "Can not communicate.");
            EXPECT_NE(text, "Did not pass ID.");
        }
        // The probe goes first; whatever the operation sends, Exit comes last.
        const Bytes sent = rig.Sent();
        ASSERT_GE(sent.size(), 4u);
        EXPECT_EQ(sent[0], c.probe);
        EXPECT_EQ(Bytes(sent.end() - 3, sent.end()), kExit9600);
        const auto opened = rig.DialogsOpened();
        ASSERT_GE(opened.size(), 1 + c.dialogs.size());
        EXPECT_EQ(opened[0], kv::IDD_KELVIX_DIALOG);
        if (!c.dialogs.empty()) {
            EXPECT_EQ(opened[1], c.dialogs[0]);
        }
        EXPECT_EQ(rig.App().firstRun, c.button == CKelvixDlg::IDC_LOAD_ID ? 0 : 1);
    }
}

TEST(PanelGates, ProbeAtAFasterRateSendsThatRatesCode) {
    PanelRig rig(Edition::Kelvane, kvtest::BootLoaderChip(), 1, 1, 1);
    ASSERT_EQ(rig.App().RestoreBaudRate(38400, kv::Operation::Link, kv::Phase::RestoreRate), 38400u);
    rig.start = rig.SentCount();
    rig.Ui().Press(CKelvixDlg::IDC_VERSION);
    rig.Show();
    const Bytes sent = rig.Sent();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[0], 0xB2);                                                 // the probe
    EXPECT_EQ(Bytes(sent.end() - 3, sent.end()), (Bytes{0xB2, 0xB0, 0xB0}));  // Exit from 38400
}

TEST(PanelGates, SilentBootLoaderHandsOverToTheRecoveryAndTheOperationDoesNotStart) {
    PanelRig rig(Edition::Kelvane, kvtest::FlashChip(), 0, 1, 1);
    sim::ReplyFault silent;
    silent.code = 0x70;
    rig.Chip().AddReplyFault(silent);
    rig.Ui().Press(CKelvixDlg::IDC_ERASE).Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
    const uint64_t before = rig.Clock().Now();
    EXPECT_EQ(rig.Show(), tk::IDCANCEL);
    EXPECT_EQ(rig.Sent(), Bytes{0x70});  // one status byte, then the user ended the program
    EXPECT_GE(rig.Clock().Now() - before, 5000u);
    EXPECT_EQ(rig.DialogsOpened(), std::vector<int>{kv::IDD_KELVIX_DIALOG});  // no "Erase?"
    EXPECT_TRUE(rig.Ui().QuitRequested());
    EXPECT_EQ(rig.Lock().releases, 1);
}

TEST(PanelDispatch, EraseConfirmation) {
    for (int button : {CKelvixDlg::IDC_ERASE, CKelvixDlg::IDC_EPR}) {
        for (int answer : {tk::IDOK, tk::IDCANCEL}) {
            PanelRig rig(Edition::Kelvane, kvtest::FlashChip(), 0, 1, 1);
            rig.Ui().Press(button).Press(answer);
            rig.Show();
            EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_KELVIX_DIALOG, kv::IDD_PRE_ERASE}));
            // Cancelled: nothing beyond the probe.
            if (answer == tk::IDCANCEL) {
                EXPECT_EQ(rig.Sent(), Plus({0x70}, kExit9600));
            }
            EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
        }
    }
}

TEST(PanelDispatch, EnterDoesNothingAndExitResetsTheLinkAndReleasesTheLock) {
    PanelRig rig(Edition::Kelvane, kvtest::FlashChip(), 0, 1, 1);
    ASSERT_EQ(rig.App().RestoreBaudRate(57600, kv::Operation::Link, kv::Phase::RestoreRate), 57600u);
    rig.Profile().Set("mode_info", "Default_Type", "+a");
    rig.start = rig.SentCount();
    rig.Ui().Press(tk::IDOK).Press(tk::IDOK).Press(CKelvixDlg::IDC_EXIT);
    EXPECT_EQ(rig.Show(), tk::IDCANCEL);
    EXPECT_EQ(rig.Ui().Remaining(), 0u);
    EXPECT_EQ(rig.Sent(), (Bytes{0xB3, 0xB0, 0xB0}));
    EXPECT_EQ(rig.Dev().Line().baud, 9600u);
    EXPECT_EQ(rig.Chip().Baud(), 9600u);
    EXPECT_EQ(rig.Lock().releases, 1);
    EXPECT_FALSE(rig.Lock().Held());
    EXPECT_EQ(rig.Stored("mode_info", "Default_Type"), "+a");
    EXPECT_TRUE(rig.Messages().empty());
}

TEST(PanelDispatch, AboutEntryOpensTheAboutBox) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        AppRig rig(e, std::nullopt);
        rig.Ui().ChooseMenu(CKelvixDlg::IDM_ABOUTBOX).Press(tk::IDOK);
        rig.App().linkReady = 0;
        CKelvixDlg panel(rig.App());
        panel.DoModal();
        EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_KELVIX_DIALOG, kv::IDD_ABOUTBOX}));
        ASSERT_EQ(panel.SystemMenu().size(), 1u);
        EXPECT_EQ(panel.SystemMenu()[0].text, "&About Kelvix...");
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(PanelKelvlite, StatusProbeRunsTheRoutineAndTheHandshake) {
    auto firmware = kvtest::BuildFirmware();
    if (!firmware) GTEST_SKIP() << "firm.mot not beside the build";
    PanelRig rig(Edition::Kelvlite, kvtest::LiteChip(*firmware), 0, 1, 1);
    rig.Ui().Press(CKelvixDlg::IDC_STATUS);
    rig.Show();
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    const auto& slot = firmware->slots[static_cast<size_t>(kv::RoutineTable::SlotFor(0x70))];
    Bytes want(slot.bytes.begin(), slot.bytes.begin() + slot.length);
    want.push_back(0x70);
    want.push_back(0x06);
    const Bytes sent = rig.Sent();
    ASSERT_GE(sent.size(), want.size());
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + static_cast<long>(want.size())), want);
    EXPECT_EQ(rig.Chip().Baud(), 9600u);
    EXPECT_EQ(rig.Lock().releases, 1);
}

TEST(PanelKelvlite, RoutineWithoutAcknowledgementRecoversOnceAndSendsNoStatusByte) {
    auto firmware = kvtest::BuildFirmware();
    if (!firmware) GTEST_SKIP() << "firm.mot not beside the build";
    PanelRig rig(Edition::Kelvlite, kvtest::LiteChip(*firmware), 0, 1, 1);
    sim::ReplyFault lost;
    lost.code = sim::Chip::kAckCode;
    lost.nth = 1;
    rig.Chip().AddReplyFault(lost);
    rig.Ui().beforeAnswer = [&](const std::string&) { rig.Chip().Reset(); };  // RESET pushed
    rig.Ui().Press(CKelvixDlg::IDC_STATUS).Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);
    rig.Show();
    // One recovery: the status byte did not follow the routine that went unanswered.
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"})
        << rig.Ui().TranscriptText();
    const auto& slot = firmware->slots[static_cast<size_t>(kv::RoutineTable::SlotFor(0x70))];
    const Bytes sent = rig.Sent();
    ASSERT_GT(sent.size(), slot.length);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + slot.length),
              Bytes(slot.bytes.begin(), slot.bytes.begin() + slot.length));
    EXPECT_NE(sent[slot.length], 0x70);
    // The status window did not open; the recovery's baud-rate dialog did.
    EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_KELVIX_DIALOG, kv::IDD_SET_COMM}));
}

}  // namespace
