// kelvlite's start-up: the port argument, the sequencer firmware beside the
// program, and the link through the sequencer's routines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "app/command_line.h"
#include "app/start_dlg.h"
#include "res/templates.h"
#include "tests/app/app_rig.h"
#include "tests/support/test_folder.h"

namespace {

using kv::Edition;
using kvtest::AppRig;

std::string Folder(const std::string& name) { return kvtest::TestFolder("app_" + name); }

TEST(KelvlitePort, ArgumentNamesThePortOrTheStartDialogAsks) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> script;  // port typed in the start dialog, if it is shown
        std::string wantPort;             // empty: the user left with Exit
        bool dialog;
    };
    const std::vector<Case> cases = {
        {{"kelvlite", "COM3"}, {}, "COM3", false},
        {{"/usr/local/bin/kelvlite", "COM3"}, {}, "COM3", false},  // the program's path is no part of it
        {{"kelvlite", "/dev/ttyUSB0"}, {}, "/dev/ttyUSB0", false},
        {{"kelvlite", "kelvlite", "COM4"}, {}, "COM4", false},
        {{"kelvlite", "--console", "--port", "ttyACM0"}, {}, "ttyACM0", false},
        {{"kelvlite"}, {"COM2"}, "COM2", true},
        {{"kelvlite", "ttyUSB1"}, {"/dev/ttyUSB1"}, "/dev/ttyUSB1", true},
        {{"kelvlite"}, {}, "", true},
    };
    auto firmware = kvtest::BuildFirmware();
    if (!firmware) GTEST_SKIP() << "firm.mot not beside the build";
    for (const auto& c : cases) {
        SCOPED_TRACE(kv::JoinCommandLine(c.args));
        AppRig rig(Edition::Kelvlite, kvtest::LiteChip(*firmware));
        if (!c.script.empty()) rig.Ui().Type(kv::CS_PrgDlg::IDC_PORT, c.script[0]).Press(tk::IDOK);
        if (c.dialog && c.script.empty()) rig.Ui().Press(tk::IDCANCEL);
        EXPECT_EQ(rig.Run(c.args), 0);
        const auto opened = rig.DialogsOpened();
        EXPECT_EQ(!opened.empty() && opened[0] == kv::IDD_S_PRG, c.dialog);
        if (c.wantPort.empty()) {
            EXPECT_EQ(rig.Dev().OpenCount(), 0);
            continue;
        }
        EXPECT_EQ(rig.Dev().OpenedName(), c.wantPort);
        EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
        EXPECT_EQ(opened.back(), kv::IDD_KELVIX_DIALOG);
    }
}

TEST(KelvliteStartup, BringsTheLinkUpThroughTheSequencer) {
    auto firmware = kvtest::BuildFirmware();
    if (!firmware) GTEST_SKIP() << "firm.mot not beside the build";
    AppRig rig(Edition::Kelvlite, kvtest::LiteChip(*firmware));
    rig.StoreCommState(57600);
    rig.Chip().MutableFaults().srd1Set = 0x0C;  // ID already verified
    EXPECT_EQ(rig.Run({"kelvlite", "COM1"}), 0);
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    EXPECT_EQ(rig.Lock().names, std::vector<std::string>{"kelvlite.exe"});
    EXPECT_TRUE(rig.App().Routines().loaded);
    const auto atIdCheck = rig.Ui().At(kv::IDD_ID_CHECK);
    ASSERT_TRUE(atIdCheck);
    EXPECT_EQ(atIdCheck->linkReady, 1);
    EXPECT_EQ(atIdCheck->idVerified, 1);
    EXPECT_EQ(atIdCheck->programMode, 0);
    EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_ID_CHECK, kv::IDD_KELVIX_DIALOG}));
    EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "57600");
    EXPECT_FALSE(rig.Stored("mode_info", "First_data"));
    EXPECT_EQ(rig.Chip().Baud(), 9600u);  // Exit took it back
    // The sequencer executed the status read and the clear status through its routines.
    bool sawStatus = false;
    for (const auto& b : rig.Chip().Transcript()) sawStatus = sawStatus || (b.value == 0x70 && b.understood);
    EXPECT_TRUE(sawStatus);
}

TEST(KelvliteStartup, StatusRoutineWithoutAcknowledgementLeavesTheLinkToTheRecovery) {
    auto firmware = kvtest::BuildFirmware();
    if (!firmware) GTEST_SKIP() << "firm.mot not beside the build";
    AppRig rig(Edition::Kelvlite, kvtest::LiteChip(*firmware));
    sim::ReplyFault lost;
    lost.code = sim::Chip::kAckCode;
    lost.nth = 1;  // the first routine: the start-up status read's
    rig.Chip().AddReplyFault(lost);
    rig.Ui().beforeAnswer = [&](const std::string&) { rig.Chip().Reset(); };         // RESET pushed
    rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);  // recovery at 9600 bps
    EXPECT_EQ(rig.Run({"kelvlite", "COM1"}), 0);
    // The recovery's setting brought the link up; no status byte went to a
    // sequencer without its routine, so nobody asks for the state again.
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"})
        << rig.Ui().TranscriptText();
    EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_SET_COMM, kv::IDD_ID_CHECK, kv::IDD_KELVIX_DIALOG}));
    EXPECT_EQ(rig.Ui().At(kv::IDD_ID_CHECK)->linkReady, 1);
}

TEST(KelvliteStartup, OneLostSynchronisationReplyAsksForOneReset) {
    auto firmware = kvtest::BuildFirmware();
    if (!firmware) GTEST_SKIP() << "firm.mot not beside the build";
    AppRig rig(Edition::Kelvlite, kvtest::LiteChip(*firmware));
    sim::ReplyFault lost;
    lost.code = 0xB0;
    lost.nth = 1;  // the wake-up's 0xB0 and 0x11
    rig.Chip().AddReplyFault(lost);
    rig.Ui().beforeAnswer = [&](const std::string&) { rig.Chip().Reset(); };         // RESET pushed
    rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);  // recovery at 9600 bps
    EXPECT_EQ(rig.Run({"kelvlite", "COM1"}), 0);
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"})
        << rig.Ui().TranscriptText();
    EXPECT_EQ(rig.DialogsOpened().at(0), kv::IDD_SET_COMM);
    EXPECT_EQ(rig.DialogsOpened().back(), kv::IDD_KELVIX_DIALOG);
}

TEST(KelvliteStartup, FirmwareMissingOrMalformedEndsTheProgram) {
    const std::string missing = Folder("no_firmware");
    const std::string bad = Folder("bad_firmware");
    std::ofstream(bad + "/firm.mot") << "S00600004844521B\nthis is not a record\n";
    struct Case {
        std::string folder;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {missing, {"Not Found Sequencer Firmware!\r\n This Program is Quit!"}},
        {bad, {"Sequencer Firmware is broken!\r\n " + bad + "/firm.mot, line 2\r\n This Program is Quit!"}},
    };
    for (const Case& c : cases) {
        AppRig rig(Edition::Kelvlite, std::nullopt);
        rig.Process().selfPath = c.folder + "/kelvlite";
        EXPECT_EQ(rig.Run({"kelvlite", "COM1"}), 1);
        EXPECT_EQ(rig.Messages(), c.messages);
        EXPECT_TRUE(rig.DialogsOpened().empty());
        EXPECT_EQ(rig.Dev().OpenCount(), 0);
        EXPECT_FALSE(rig.Stored("mode_info", "Default_Type"));  // ends before the switches
    }
}

}  // namespace
