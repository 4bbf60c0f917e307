// Start-up of both programs on virtual time: lock, switches, start dialog,
// companion, firmware, link bring-up, first dialog and panel.
#include <gtest/gtest.h>

#include <set>

#include "app/command_line.h"
#include "app/dialogs/set_comm_dlg.h"
#include "app/kelvix_dlg.h"
#include "app/start_dlg.h"
#include "platform/serial_device.h"
#include "res/strings.h"
#include "res/templates.h"
#include "tests/app/app_rig.h"

namespace {

using kv::Edition;
using kvtest::AppRig;
using tk::ScriptEvent;

// The lost-link message names the port the user is to reset the board on.
std::string Timeout(const std::string& port) { return "Timeout.\nPush RESET.\nPort: " + port; }

TEST(Startup, SecondInstanceIsToldAndNothingElseHappens) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        AppRig rig(e, std::nullopt);
        rig.Lock().heldElsewhere = true;
        EXPECT_EQ(rig.Run({kv::ProgramName(e)}), 1);
        EXPECT_EQ(rig.Lock().names, std::vector<std::string>{e == Edition::Kelvane ? "KELVANE.exe" : "kelvlite.exe"});
        ASSERT_EQ(rig.Messages(), std::vector<std::string>{"This program is already running."});
        const auto box = rig.Ui().EventsOf(ScriptEvent::Type::MessageBox).front();
        EXPECT_EQ(box.caption, "Kelvane");
        EXPECT_EQ(box.icon, tk::Icon::Stop);
        EXPECT_TRUE(rig.DialogsOpened().empty());
        EXPECT_EQ(rig.Dev().OpenCount(), 0);
        EXPECT_FALSE(rig.Stored("mode_info", "Default_Type"));
    }
}

struct SwitchCase {
    Edition edition;
    std::vector<std::string> args;
    std::optional<std::string> storedType, storedFirst;
    std::optional<std::string> wantType, wantFirst;
};

TEST(Startup, SwitchesAreStoredBeforeTheStartDialogAndExitNeverOpensThePort) {
    const std::vector<SwitchCase> cases = {
        {Edition::Kelvane, {"kelvane", "+a", "-a"}, std::nullopt, std::nullopt, "-a", ""},
        {Edition::Kelvane, {"kelvane", "-a", "+a"}, "+a", std::nullopt, "-a", ""},
        {Edition::Kelvane, {"kelvane"}, "+a", "+Z", "+a", "+Z"},
        {Edition::Kelvane, {"kelvane"}, std::nullopt, std::nullopt, "", ""},
        {Edition::Kelvane, {"kelvane", "+Z"}, "-a", "-Z", "-a", "+Z"},
        {Edition::Kelvane, {"kelvane", "-Z", "+Z"}, std::nullopt, std::nullopt, "", "-Z"},
        // The whole command line counts, the program's own path too.
        {Edition::Kelvane, {"/home/ann/tools-a/kelvane"}, "+a", std::nullopt, "-a", ""},
        {Edition::Kelvane, {"/srv/x+Z/kelvane", "+a"}, std::nullopt, std::nullopt, "+a", "+Z"},
        // The Linux options hold no switch text.
        {Edition::Kelvane, {"kelvane", "--console", "--port", "/dev/pts/4"}, "+a", "+Z", "+a", "+Z"},
        // kelvlite has no "First_data".
        {Edition::Kelvlite, {"kelvlite", "+Z", "+a"}, std::nullopt, std::nullopt, "+a", std::nullopt},
        {Edition::Kelvlite, {"kelvlite", "-Z"}, "-a", "+Z", "-a", "+Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(kv::ProgramName(c.edition) + std::string(" ") + c.args.back());
        AppRig rig(c.edition, std::nullopt);
        if (c.storedType) rig.Profile().Set("mode_info", "Default_Type", *c.storedType);
        if (c.storedFirst) rig.Profile().Set("mode_info", "First_data", *c.storedFirst);
        const int writesBefore = rig.Profile().Writes();
        // kelvlite shows its start dialog only without a port argument.
        rig.Ui().Press(tk::IDCANCEL);
        EXPECT_EQ(rig.Run(c.args), 0);
        EXPECT_EQ(rig.Stored("mode_info", "Default_Type"), c.wantType);
        EXPECT_EQ(rig.Stored("mode_info", "First_data"), c.wantFirst);
        // Written back even when nothing changed.
        EXPECT_EQ(rig.Profile().Writes() - writesBefore, c.edition == Edition::Kelvane ? 2 : 1);
        EXPECT_EQ(rig.DialogsOpened(), std::vector<int>{kv::IDD_S_PRG});
        EXPECT_EQ(rig.Dev().OpenCount(), 0);
        EXPECT_TRUE(rig.Dev().SentBytes().empty());
        EXPECT_TRUE(rig.Messages().empty());
        EXPECT_FALSE(rig.Stored("Last Comm State", "Baundrate"));
    }
}

TEST(Startup, KelvaneTracesTheFirstDataValues) {
    AppRig rig(Edition::Kelvane, std::nullopt);
    rig.Profile().Set("mode_info", "First_data", "-Z");
    rig.Ui().Press(tk::IDCANCEL);
    rig.Run({"kelvane", "+Z"});
    EXPECT_EQ(rig.Ui().Traces(), (std::vector<std::string>{"Z_TYPE = -Z\n", "Z_Type = +Z \n"}));
}

TEST(Startup, StartDialogPortListAndPresetPort) {
    AppRig rig(Edition::Kelvane, std::nullopt);
    rig.Process().ports = {{"/dev/ttyACM1", "", true},
                           {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_A502-if00-port0", true}};
    kv::CS_PrgDlg dlg(rig.App());
    const tk::Control* combo = dlg.Template().Find(kv::CS_PrgDlg::IDC_PORT);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->items, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "/dev/ttyACM1",
                                                      "/dev/ttyUSB0 (usb-FTDI_FT232R_A502-if00-port0)"}));

    // "--port" presets the field; OK takes it as it stands.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"kelvane", "--port", "/dev/pts/7"},
                                                 std::vector<std::string>{"kelvane", "--port=/dev/pts/7"}}) {
        AppRig run(Edition::Kelvane, std::nullopt);
        run.Ui().Press(tk::IDOK).Answer(tk::IDCANCEL, Timeout("/dev/pts/7"));
        EXPECT_EQ(run.Run(args), 0);
        EXPECT_EQ(run.Dev().OpenedName(), "/dev/pts/7");
        EXPECT_EQ(run.App().programMode, 0);
    }
}

// The port the start dialog offers: the one used last, else the only USB
// adapter, else COM1; an adapter's list entry opens its device, and the
// port opened is remembered for the next start.
TEST(Startup, StartDialogPresetsTheLikelyPort) {
    const plat::SerialAdapter ftdi{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_A502-if00-port0", true};
    const plat::SerialAdapter acm{"/dev/ttyACM0", "", true};
    const plat::SerialAdapter uart{"/dev/ttyS4", "", false};
    struct Case {
        const char* name;
        std::vector<plat::SerialAdapter> ports;
        std::string last;   // remembered; empty: none
        std::string typed;  // typed or picked in the list; empty: OK as it stands
        std::string opened;
    };
    const Case cases[] = {
        {"nothing plugged in", {}, "", "", "COM1"},
        {"one USB adapter", {uart, ftdi}, "", "", "/dev/ttyUSB0"},
        {"two USB adapters", {ftdi, acm}, "", "", "COM1"},
        {"the port used last", {ftdi}, "/dev/ttyS1", "", "/dev/ttyS1"},
        {"an adapter picked by its entry",
         {ftdi, acm},
         "",
         "/dev/ttyUSB0 (usb-FTDI_FT232R_A502-if00-port0)",
         "/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig(Edition::Kelvane, std::nullopt);
        rig.Process().ports = c.ports;
        if (!c.last.empty()) rig.Profile().Set("Last Port", "Port", c.last);
        if (!c.typed.empty()) rig.Ui().Type(kv::CS_PrgDlg::IDC_PORT, c.typed);
        rig.Ui().Press(tk::IDOK).Answer(tk::IDCANCEL, Timeout(c.opened));
        EXPECT_EQ(rig.Run({"kelvane"}), 0);
        EXPECT_EQ(rig.Dev().OpenedName(), c.opened);
        EXPECT_EQ(rig.Stored("Last Port", "Port"), c.opened);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

// The list follows adapters plugged in and pulled out while the dialog is
// open (its timer looks), and the port in the field stays.
TEST(Startup, StartDialogListFollowsTheAdapters) {
    const plat::SerialAdapter ftdi{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_A502-if00-port0", true};
    const plat::SerialAdapter acm{"/dev/ttyACM0", "", true};
    const std::string ftdiItem = "/dev/ttyUSB0 (usb-FTDI_FT232R_A502-if00-port0)";
    const std::vector<std::string> com = {"COM1", "COM2", "COM3", "COM4"};
    auto with = [&com](std::vector<std::string> more) {
        std::vector<std::string> items = com;
        items.insert(items.end(), more.begin(), more.end());
        return items;
    };
    struct Case {
        const char* name;
        std::vector<plat::SerialAdapter> before, after;
        std::string typed;  // before the timer runs; empty: nothing
        std::vector<std::string> items;
        std::string shown;  // in the field afterwards
        std::string port;   // taken by OK
    };
    const Case cases[] = {
        {"plugged in", {}, {ftdi}, "", with({ftdiItem}), "COM1", "COM1"},
        {"two plugged in", {}, {acm, ftdi}, "", with({"/dev/ttyACM0", ftdiItem}), "COM1", "COM1"},
        {"pulled out while chosen",
         {acm, ftdi},
         {acm},
         ftdiItem,
         with({"/dev/ttyACM0"}),
         "/dev/ttyUSB0",
         "/dev/ttyUSB0"},
        {"typed, then plugged in", {}, {ftdi}, "/dev/ttyUSB0", with({ftdiItem}), ftdiItem, "/dev/ttyUSB0"},
        {"nothing changed", {ftdi}, {ftdi}, "COM3", with({ftdiItem}), "COM3", "COM3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig(Edition::Kelvane, std::nullopt);
        rig.Process().ports = c.before;
        kv::CS_PrgDlg dlg(rig.App());
        rig.Process().ports = c.after;
        if (!c.typed.empty()) rig.Ui().Type(kv::CS_PrgDlg::IDC_PORT, c.typed);
        rig.Ui().Tick().Press(tk::IDOK);
        EXPECT_EQ(dlg.DoModal(), tk::IDOK);
        EXPECT_EQ(dlg.TimerMs(), 1000);
        EXPECT_EQ(dlg.Template().Find(kv::CS_PrgDlg::IDC_PORT)->items, c.items);
        EXPECT_EQ(dlg.GetItemText(kv::CS_PrgDlg::IDC_PORT), c.shown);
        EXPECT_EQ(dlg.m_strPort, c.port);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

struct CompanionCase {
    std::string name;
    std::set<std::string> files;
    bool startWorks;
    std::string wantPath;  // empty: message 1039
};

TEST(Startup, ModeTwoStartsTheCompanionOnTheChosenPort) {
    const std::string own = "/opt/kelvane/bin", cwd = "/home/user/work";
    const std::vector<CompanionCase> cases = {
        {"own folder first", {own + "/kelvlite", cwd + "/kelvlite"}, true, own + "/kelvlite"},
        {"bare name before endings", {own + "/kelvlite.exe", own + "/kelvlite"}, true, own + "/kelvlite"},
        {"endings in order", {own + "/kelvlite.cmd", own + "/kelvlite.com"}, true, own + "/kelvlite.com"},
        {"working folder next", {cwd + "/kelvlite.bat"}, true, cwd + "/kelvlite.bat"},
        {"none", {"/usr/bin/kelvlite"}, true, ""},
        {"start fails", {own + "/kelvlite"}, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig(Edition::Kelvane, kvtest::FlashChip());
        rig.Process().files = c.files;
        rig.Process().startWorks = c.startWorks;
        rig.Ui().Press(kv::CS_PrgDlg::IDC_MODE_COMPANION).Type(kv::CS_PrgDlg::IDC_PORT, "COM3").Press(tk::IDOK);
        const int code = rig.Run({"kelvane"});
        EXPECT_EQ(rig.Dev().OpenCount(), 0);
        EXPECT_EQ(rig.DialogsOpened(), std::vector<int>{kv::IDD_S_PRG});
        if (c.wantPath.empty()) {
            EXPECT_EQ(code, 1);
            EXPECT_EQ(rig.Messages(), std::vector<std::string>{kv::LoadString(Edition::Kelvane, 1039)});
        } else {
            EXPECT_EQ(code, 0);
            EXPECT_TRUE(rig.Messages().empty());
        }
        if (c.startWorks && !c.wantPath.empty()) {
            ASSERT_EQ(rig.Process().starts.size(), 1u);
            EXPECT_EQ(rig.Process().starts[0].path, c.wantPath);
            EXPECT_EQ(rig.Process().starts[0].argv, (std::vector<std::string>{"kelvlite", "COM3"}));
        }
    }
}

// Every port name kelvane opens reaches kelvlite as a name it takes without
// its start dialog, naming the same device.
TEST(Startup, ModeTwoHandsKelvliteEveryPortNameAsOneItTakes) {
    const std::pair<std::string, std::string> cases[] = {
        {"COM3", "COM3"},
        {"/dev/pts/4", "/dev/pts/4"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"serial/by-id/usb-FTDI_X-if00", "/dev/serial/by-id/usb-FTDI_X-if00"},
        {"com2", "/dev/ttyS1"},
        {" ttyACM0 ", "/dev/ttyACM0"},
    };
    for (const auto& [typed, passed] : cases) {
        SCOPED_TRACE(typed);
        AppRig rig(Edition::Kelvane, kvtest::FlashChip());
        rig.Process().files = {"/opt/kelvane/bin/kelvlite"};
        rig.Ui().Press(kv::CS_PrgDlg::IDC_MODE_COMPANION).Type(kv::CS_PrgDlg::IDC_PORT, typed).Press(tk::IDOK);
        EXPECT_EQ(rig.Run({"kelvane"}), 0);
        ASSERT_EQ(rig.Process().starts.size(), 1u);
        EXPECT_EQ(rig.Process().starts[0].argv, (std::vector<std::string>{"kelvlite", passed}));
        EXPECT_TRUE(kv::NamesPort(kv::KelvlitePortArgument({passed})));
        EXPECT_EQ(plat::DevicePathForPort(passed), plat::DevicePathForPort(typed));
    }
    // A program file kelvane was opened with goes on to kelvlite, which takes it as its file.
    AppRig rig(Edition::Kelvane, kvtest::FlashChip());
    rig.Process().files = {"/opt/kelvane/bin/kelvlite"};
    rig.Ui().Press(kv::CS_PrgDlg::IDC_MODE_COMPANION).Type(kv::CS_PrgDlg::IDC_PORT, "COM3").Press(tk::IDOK);
    EXPECT_EQ(rig.Run({"kelvane", "/w/FW.HEX"}), 0);
    ASSERT_EQ(rig.Process().starts.size(), 1u);
    EXPECT_EQ(rig.Process().starts[0].argv, (std::vector<std::string>{"kelvlite", "COM3", "/w/FW.HEX"}));
    const kv::ProgramOptions passedOn = kv::ParseProgramOptions(rig.Process().starts[0].argv);
    EXPECT_EQ(passedOn.file, "/w/FW.HEX");
    EXPECT_EQ(kv::KelvlitePortArgument(passedOn.rest), "COM3");
}

TEST(Startup, ModeZeroBringsTheLinkUpAndShowsTheIdCheckThenThePanel) {
    AppRig rig(Edition::Kelvane, kvtest::FlashChip());
    rig.Profile().Set("mode_info", "First_data", "-Z");
    rig.Ui().Type(kv::CS_PrgDlg::IDC_PORT, "COM2").Press(tk::IDOK);
    EXPECT_EQ(rig.Run({"kelvane"}), 0);
    EXPECT_EQ(rig.Dev().OpenedName(), "COM2");
    EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_S_PRG, kv::IDD_ID_CHECK, kv::IDD_KELVIX_DIALOG}));
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    std::vector<uint8_t> start(17, 0x00);
    start.push_back(0xB0);  // synchronisation
    start.push_back(0x70);  // first status read
    start.push_back(0x50);  // clear status
    const auto sent = rig.Dev().SentBytes();
    ASSERT_GE(sent.size(), start.size() + 3);
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 20), start);
    EXPECT_EQ(std::vector<uint8_t>(sent.end() - 3, sent.end()), (std::vector<uint8_t>{0xB0, 0xB0, 0xB0}));  // Exit
    const auto atIdCheck = rig.Ui().At(kv::IDD_ID_CHECK);
    ASSERT_TRUE(atIdCheck);
    EXPECT_EQ(atIdCheck->linkReady, 1);
    EXPECT_EQ(atIdCheck->idVerified, 0);
    EXPECT_EQ(atIdCheck->firstRun, 1);
    EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "9600");
    EXPECT_EQ(rig.Stored("Last Comm State", "Byte"), "8");
    EXPECT_EQ(rig.Lock().releases, 1);
    EXPECT_FALSE(rig.Dev().IsOpen());
}

TEST(Startup, StoredRateIsRestoredAndWrittenBack) {
    AppRig rig(Edition::Kelvane, kvtest::FlashChip());
    rig.StoreCommState(38400);
    rig.Profile().Set("Last Comm State", "Byte", "7");
    rig.Ui().Press(tk::IDOK);
    ASSERT_EQ(rig.Run({"kelvane"}), 0);
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "38400");
    EXPECT_EQ(rig.Stored("Last Comm State", "Byte"), "7");  // carried along
    EXPECT_EQ(rig.Chip().Baud(), 9600u);                    // Exit took it back
}

TEST(Startup, StoredRateNotReachedAndRecoveryCancelledStoresTheRateInForce) {
    // A boot loader that echoes its codes only at 9600 bps: the move to the
    // stored 38400 bps fails at its final check, the recovery runs, and the
    // user cancels its baud-rate dialog.
    AppRig rig(Edition::Kelvane, std::nullopt);
    rig.Dev().SetResponder([](kvtest::FakeSerialDevice& dev, const std::vector<uint8_t>& block) {
        if (block.size() == 1 && block[0] >= 0xB0 && block[0] <= 0xB4 && dev.Line().baud == 9600)
            dev.Deliver(block, dev.Clock().Now() + 2);
    });
    rig.StoreCommState(38400);
    rig.Ui().Press(kv::CS_PrgDlg::IDC_MODE_BOOT).Press(tk::IDOK).Answer(tk::IDOK, Timeout("COM1")).Press(tk::IDCANCEL);
    EXPECT_EQ(rig.Run({"kelvane"}), 0);
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{Timeout("COM1")});
    EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "9600");  // never "0"
    EXPECT_EQ(rig.DialogsOpened(),
              (std::vector<int>{kv::IDD_S_PRG, kv::IDD_SET_COMM, kv::IDD_SELECT, kv::IDD_KELVIX_DIALOG}));
}

TEST(Startup, IdStateOfTheFirstStatusRead) {
    struct Case {
        uint8_t set, clear;
        int want;
    };
    // SRD1 bits 3-2: 11 verified; 10 leaves the flag as it was (0); 00 not verified.
    for (Case c : {Case{0x0C, 0x00, 1}, Case{0x08, 0x04, 0}, Case{0x00, 0x0C, 0}}) {
        AppRig rig(Edition::Kelvane, kvtest::FlashChip());
        rig.Chip().MutableFaults().srd1Set = c.set;
        rig.Chip().MutableFaults().srd1Clear = c.clear;
        rig.Ui().Press(tk::IDOK);
        rig.Run({"kelvane"});
        const auto atIdCheck = rig.Ui().At(kv::IDD_ID_CHECK);
        ASSERT_TRUE(atIdCheck);
        EXPECT_EQ(atIdCheck->idVerified, c.want) << int(c.set);
        EXPECT_EQ(atIdCheck->linkReady, 1);
    }
}

TEST(Startup, ModeOneCountsTheIdAsVerifiedAndShowsTheFileSelection) {
    AppRig rig(Edition::Kelvane, kvtest::BootLoaderChip());
    rig.Ui().Press(kv::CS_PrgDlg::IDC_MODE_BOOT).Press(tk::IDOK);
    EXPECT_EQ(rig.Run({"kelvane"}), 0);
    const auto atSelect = rig.Ui().At(kv::IDD_SELECT);
    ASSERT_TRUE(atSelect);
    EXPECT_EQ(atSelect->programMode, 1);
    EXPECT_EQ(atSelect->idVerified, 1);
    EXPECT_EQ(atSelect->linkReady, 1);
    EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_S_PRG, kv::IDD_SELECT, kv::IDD_KELVIX_DIALOG}));
    std::vector<uint8_t> want(17, 0x00);
    want.push_back(0xB0);
    want.insert(want.end(), {0xB0, 0xB0, 0xB0});  // no status read, straight to Exit
    EXPECT_EQ(rig.Dev().SentBytes(), want);
    EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "9600");
}

TEST(Startup, NoStatusReplyAsksForTheCommunicationState) {
    sim::ReplyFault silent;
    silent.code = 0x70;
    silent.nth = 1;
    {
        SCOPED_TRACE("OK: the baud-rate setting runs");
        AppRig rig(Edition::Kelvane, kvtest::FlashChip());
        rig.Chip().AddReplyFault(silent);
        rig.Ui().Press(tk::IDOK).Press(tk::IDOK).Type(kv::CSetCommDlg::IDC_BAUD_RATE, "19200").Press(tk::IDOK);
        EXPECT_EQ(rig.Run({"kelvane"}), 0);
        EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_S_PRG, kv::IDD_FIRST_SET, kv::IDD_SET_COMM,
                                                         kv::IDD_ID_CHECK, kv::IDD_KELVIX_DIALOG}));
        EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
        EXPECT_EQ(rig.Ui().At(kv::IDD_ID_CHECK)->linkReady, 1);
        EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "19200");
    }
    {
        SCOPED_TRACE("Cancel: no link, the panel comes up anyway");
        AppRig rig(Edition::Kelvane, kvtest::FlashChip());
        rig.Chip().AddReplyFault(silent);
        rig.Ui().Press(tk::IDOK).Press(tk::IDCANCEL);
        EXPECT_EQ(rig.Run({"kelvane"}), 0);
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Can not communicate to outside."});
        EXPECT_EQ(rig.Ui().EventsOf(ScriptEvent::Type::MessageBox).front().icon, tk::Icon::Stop);
        EXPECT_EQ(rig.Ui().At(kv::IDD_KELVIX_DIALOG)->linkReady, 0);
        EXPECT_EQ(rig.DialogsOpened(),
                  (std::vector<int>{kv::IDD_S_PRG, kv::IDD_FIRST_SET, kv::IDD_ID_CHECK, kv::IDD_KELVIX_DIALOG}));
        EXPECT_FALSE(rig.Stored("Last Comm State", "Baundrate"));
    }
}

// A port that cannot be opened is told with the system's reason and ends the
// start (exit code 1) before anything is sent or stored: no "Push RESET.",
// no baud-rate setting, and the stored rate stays.
TEST(Startup, APortThatCannotBeOpenedIsToldAndChangesNothing) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        if (e == Edition::Kelvlite && !kvtest::BuildFirmware()) GTEST_SKIP() << "firm.mot not beside the build";
        SCOPED_TRACE(kv::ProgramName(e));
        AppRig rig(e, kvtest::FlashChip());
        rig.Dev().FailOpen(true, "/dev/ttyS1: Permission denied.\nhint");
        rig.StoreCommState(38400);
        if (e == Edition::Kelvane) rig.Ui().Type(kv::CS_PrgDlg::IDC_PORT, "COM2").Press(tk::IDOK);
        const std::vector<std::string> args =
            e == Edition::Kelvane ? std::vector<std::string>{"kelvane"} : std::vector<std::string>{"kelvlite", "COM2"};
        EXPECT_EQ(rig.Run(args), 1);
        EXPECT_EQ(rig.Messages(),
                  std::vector<std::string>{"Can not open the port COM2.\n/dev/ttyS1: Permission denied.\nhint"});
        EXPECT_EQ(rig.Ui().EventsOf(ScriptEvent::Type::MessageBox).at(0).icon, tk::Icon::Stop);
        EXPECT_TRUE(rig.Dev().SentBytes().empty());
        EXPECT_EQ(rig.Stored("Last Comm State", "Baundrate"), "38400");
        for (int id : rig.DialogsOpened()) EXPECT_EQ(id, kv::IDD_S_PRG);
        EXPECT_EQ(rig.Lock().releases, 1);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(Startup, CancelInTheRecoveryEndsWithoutThePanel) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        if (e == Edition::Kelvlite && !kvtest::BuildFirmware()) GTEST_SKIP() << "firm.mot not beside the build";
        AppRig rig(e, std::nullopt);                          // nothing answers
        if (e == Edition::Kelvane) rig.Ui().Press(tk::IDOK);  // the start dialog
        const std::string port = e == Edition::Kelvane ? "COM1" : "COM2";
        rig.Ui().Answer(tk::IDCANCEL, Timeout(port));
        const std::vector<std::string> args =
            e == Edition::Kelvane ? std::vector<std::string>{"kelvane"} : std::vector<std::string>{"kelvlite", "COM2"};
        EXPECT_EQ(rig.Run(args), 0);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
        for (int id : rig.DialogsOpened()) EXPECT_NE(id, kv::IDD_KELVIX_DIALOG);
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{Timeout(port)});
        EXPECT_EQ(rig.Lock().releases, 1);
        EXPECT_FALSE(rig.Dev().IsOpen());
    }
}

TEST(Startup, FailedSettingInTheRecoveryEndsWithoutThePanel) {
    AppRig rig(Edition::Kelvane, std::nullopt);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, Timeout("COM1")).Press(tk::IDCANCEL);  // no new rate chosen
    EXPECT_EQ(rig.Run({"kelvane"}), 1);
    EXPECT_EQ(rig.DialogsOpened(), (std::vector<int>{kv::IDD_S_PRG, kv::IDD_SET_COMM}));
}

}  // namespace
