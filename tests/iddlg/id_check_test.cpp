// The ID check dialog against the simulated chip, in both programs.
#include <gtest/gtest.h>

#include "app/dialogs/id_check_dlg.h"
#include "app/recent_files.h"
#include "tests/iddlg/id_rig.h"

namespace {

using kv::CIDCheckDlg;
using kv::Edition;
using kvtest::IdRig;
using kvtest::ProgramText;
using Bytes = std::vector<uint8_t>;

const std::vector<std::string> kRightId = {"11", "22", "33", "44", "55", "66", "77"};
const std::vector<std::string> kWrongId = {"11", "22", "33", "44", "55", "66", "78"};
constexpr int kPath = CIDCheckDlg::IDC_FILE_PATH;
constexpr int kRefer = CIDCheckDlg::IDC_REFER;
constexpr int kStatusSlot = 5;
constexpr int kIdSlot = 8;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kIdFrameM = {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
const Bytes kZeroFrame = {0xF5, 0x00, 0x00, 0x00, 0x07, 0, 0, 0, 0, 0, 0, 0};

// A status read as each program sends it.
Bytes StatusRead(Edition e) {
    return e == Edition::Kelvlite ? Cat({kvtest::Routine(kStatusSlot), {0x70, 0x06}}) : Bytes{0x70};
}
Bytes IdCommand(Edition e, const Bytes& frame) {
    return e == Edition::Kelvlite ? Cat({kvtest::Routine(kIdSlot), frame}) : frame;
}

class BothPrograms : public ::testing::TestWithParam<Edition> {};
INSTANTIATE_TEST_SUITE_P(IdCheck, BothPrograms, ::testing::Values(Edition::Kelvane, Edition::Kelvlite),
                         [](const auto& p) { return std::string(kv::ProgramName(p.param)); });

TEST_P(BothPrograms, TheRightIdUnlocksTheChip) {
    const Edition e = GetParam();
    IdRig rig(e);
    const std::string path = rig.dir.Write("app.mot", ProgramText({0x0C0000}));
    rig.Ui().Type(kPath, path);
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK);
    const uint64_t before = rig.Clock().Now();
    EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);

    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_TRUE(rig.chip.IdVerified());
    EXPECT_EQ(rig.Sent(), Cat({StatusRead(e), IdCommand(e, kIdFrameM), StatusRead(e)}));
    // kelvlite gives the chip 50 ms after the file load before the first status read.
    EXPECT_EQ(rig.WireFrom(rig.mark).at(0).timeMs - before, e == Edition::Kelvlite ? 50u : 0u);
    EXPECT_NE(rig.App().Image().Page(0x0C00), nullptr);
    EXPECT_EQ(kv::RecentFiles(rig.App().Profile()), std::vector<std::string>{path});  // offered next time
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    EXPECT_FALSE(rig.Ui().EventsOf(tk::ScriptEvent::Type::WaitBegin).empty());
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST_P(BothPrograms, AWrongIdIsRefusedAndCanBeTypedAgain) {
    const Edition e = GetParam();
    IdRig rig(e);
    rig.App().idVerified = 1;
    rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
    rig.TypeIds(kWrongId);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, "Not match ID.");
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);

    const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
    EXPECT_EQ(boxes[0].caption, "Kelvane");
    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_TRUE(rig.chip.IdVerified());
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST_P(BothPrograms, RefusedIdClearsTheFlag) {
    IdRig rig(GetParam());
    rig.App().idVerified = 1;
    rig.App().firstRun = 0;
    rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
    rig.TypeIds(kWrongId);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, "Not match ID.").Press(tk::IDCANCEL);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_EQ(rig.App().idVerified, 0);
    EXPECT_FALSE(rig.chip.IdVerified());
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST_P(BothPrograms, CancelAtStartUpSendsTheZeroId) {
    const Edition e = GetParam();
    IdRig rig(e);
    rig.App().idVerified = 1;
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_EQ(rig.Sent(), IdCommand(e, kZeroFrame));
    EXPECT_EQ(rig.App().idVerified, 0);
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();

    // Later, from the panel, Cancel sends nothing and keeps the flag.
    rig.App().firstRun = 0;
    rig.App().idVerified = 1;
    rig.Mark();
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_TRUE(rig.Sent().empty());
    EXPECT_EQ(rig.App().idVerified, 1);
}

TEST_P(BothPrograms, AnAlreadyVerifiedChipNeedsNoIdAfterStartUp) {
    const Edition e = GetParam();
    IdRig rig(e);
    const std::string path = rig.dir.Write("app.mot", ProgramText({0x0C0000}));
    rig.Ui().Type(kPath, path);
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK);
    ASSERT_EQ(rig.RunIdCheck(), tk::IDOK);

    // Start-up sends the ID even to a verified chip: empty IDs are refused.
    rig.Mark();
    rig.Ui()
        .Type(kPath, path)
        .Press(tk::IDOK)
        .Answer(tk::IDOK, "Do not match ID style.\nID1 takes two hexadecimal digits.")
        .Press(tk::IDCANCEL);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_EQ(rig.Sent(), Cat({StatusRead(e), IdCommand(e, kZeroFrame)}));

    // From the panel, the verified chip lets the dialog close at once.
    ASSERT_EQ(rig.Ui().Remaining(), 0u);
    rig.Ui().Type(kPath, path);
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK);
    ASSERT_EQ(rig.RunIdCheck(), tk::IDOK);  // the zero ID locked it again
    rig.App().firstRun = 0;
    rig.App().idVerified = 0;
    rig.Mark();
    rig.Ui().Type(kPath, path).Press(tk::IDOK);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);
    EXPECT_EQ(rig.Sent(), StatusRead(e));
    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(IdCheck, IdStyleAndHexDigits) {
    struct Case {
        const char* name;
        std::vector<std::string> ids;
        const char* message;
        Bytes frame;  // empty: nothing sent after the status read
    };
    const Case cases[] = {
        // The refusal names the first field that is wrong.
        {"one character",
         {"11", "2", "33", "44", "55", "66", "77"},
         "Do not match ID style.\nID2 takes two hexadecimal digits.",
         {}},
        {"three characters",
         {"11", "22", "333", "44", "55", "66", "77"},
         "Do not match ID style.\nID3 takes two hexadecimal digits.",
         {}},
        {"an empty field",
         {"11", "22", "33", "44", "55", "66", ""},
         "Do not match ID style.\nID7 takes two hexadecimal digits.",
         {}},
        {"letters that are no hex digits",
         {"11", "GZ", "33", "4x", "55", "66", "77"},
         "Not match ID.",
         {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0x11, 0xFF, 0x33, 0xFF, 0x55, 0x66, 0x77}},
        {"lower-case hex",
         {"ab", "cd", "ef", "0a", "b0", "c1", "d2"},
         "Not match ID.",
         {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0xAB, 0xCD, 0xEF, 0x0A, 0xB0, 0xC1, 0xD2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IdRig rig;
        rig.App().firstRun = 0;
        rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
        rig.TypeIds(c.ids);
        rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, c.message).Press(tk::IDCANCEL);
        EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
        EXPECT_EQ(rig.Sent(), c.frame.empty() ? Bytes{0x70} : Cat({{0x70}, c.frame, {0x70}}));
        EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox).at(0).icon, tk::Icon::Exclamation);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(IdCheck, OkWithoutAFileName) {
    IdRig rig;
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, "Did not input filename.");
    rig.App().firstRun = 0;
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_TRUE(rig.Sent().empty());
    EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox).at(0).icon, tk::Icon::Exclamation);
}

TEST(IdCheck, AFileThatCannotBeOpenedEndsOkBeforeTheChipIsAsked) {
    // A FIFO typed as the file name must neither block nor be read.
    for (bool fifo : {false, true}) {
        IdRig rig;
        rig.App().firstRun = 0;
        const std::string path = fifo ? rig.dir.Fifo("pipe.mot") : rig.dir.File("gone.mot");
        rig.Ui().Type(kPath, path);
        rig.TypeIds(kRightId);
        rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, path + (fifo ? " could not be read." : " was not found."));
        EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
        EXPECT_TRUE(rig.Sent().empty());
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

// A refused file is handled like one that cannot be opened: OK and Refer...
// tell it once, the dialog stays open, nothing is sent, and the image keeps
// nothing of it (nor of the file loaded before).
TEST_P(BothPrograms, ARefusedFileKeepsTheDialogOpenAndSendsNothing) {
    const std::string good = ProgramText({0x0C0000});
    struct Case {
        const char* name;
        std::string text;
        std::string why;  // the message's second line
    };
    const Case cases[] = {
        {"wrong checksum", kvtest::Record(2, 0x0C0000, {0xA5}, 1) + "\nS9030000FC\n",
         "Line 1: bad record (digits, count or checksum)"},
        {"cut off in a record", kvtest::Record(2, 0x0C0000, {0xA5}) + "\nS2050C01",
         "Line 2: bad record (digits, count or checksum)"},
        {"not an S-record", kvtest::Record(2, 0x0C0000, {0xA5}) + "\n:10000000\nS9030000FC\n",
         "Line 2: not an S-record"},
        {"damaged type character", kvtest::Record(2, 0x0C0000, {0xA5}) + "\nS4050C0100AAAA\nS9030000FC\n",
         "Line 2: unknown record type S4"},
    };
    for (bool refer : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (refer ? " (Refer...)" : " (OK)"));
            IdRig rig(GetParam());
            ASSERT_EQ(rig.App().Image().LoadFile(rig.dir.Write("before.mot", good)), 1);
            const std::string path = rig.dir.Write("app.mot", c.text);
            rig.dir.Write("app.id", "FFFDF 11\n");
            rig.TypeIds(kRightId);
            const std::string refused = "Can not accept this file.\n" + c.why;
            if (refer)
                rig.Ui().Press(kRefer).ChooseFile(path).Answer(tk::IDOK, refused);
            else
                rig.Ui().Type(kPath, path).Press(tk::IDOK).Answer(tk::IDOK, refused);
            rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, refused);
            rig.App().firstRun = 0;  // Cancel then sends nothing either
            rig.Ui().Press(tk::IDCANCEL);
            EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
            EXPECT_TRUE(rig.Sent().empty());
            EXPECT_EQ(rig.App().idVerified, 0);
            EXPECT_EQ(rig.App().Image().PageCount(), 0u);
            EXPECT_EQ(std::vector<std::string>(rig.ids.begin(), rig.ids.end()), kRightId);  // ID file not read
            EXPECT_EQ(rig.Messages().size(), 2u);
            EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
        }
    }
}

// The ID file beside the program file gives the type and the seven IDs.
TEST(IdCheck, ReferReadsTheIdFileForEachMcuType) {
    struct Case {
        const char* name;
        sim::McuType mcu;
        std::vector<uint32_t> data;
        std::string idFile;
        int type;
        Bytes address;
    };
    const Case cases[] = {
        {"Vireo/M from the image",
         sim::McuType::VireoM,
         {0x0C0000, 0x0FFFFF},
         "FFFDF:11\nFFFE3:22\nFFFEB:33\nFFFEF:44\nFFFF3:55\nFFFF7:66\nFFFFB:77\nfffdf:99\n",
         0,
         {0xDF, 0xFF, 0x0F}},
        {"Vireo/H from the image",
         sim::McuType::VireoH,
         {0xFF0000, 0xFFFFFF},
         "FFFFDF 11\nFFFFE3 22\nFFFFEB 33\nFFFFEF 44\nFFFFF3 55\nFFFFF7 66\nFFFFFB 77\n",
         1,
         {0xDF, 0xFF, 0xFF}},
        {"Wren from the image",
         sim::McuType::Wren,
         {0x00F000, 0x00FFFF},
         "FFD4=11\nFFD5=22\nFFD6=33\nFFD7=44\nFFD8=55\nFFD9=66\nFFDA=77\n",
         2,
         {0xD4, 0xFF, 0x00}},
        {"Wren from the ID file",
         sim::McuType::Wren,
         {0x0C0000},
         "FFD4 11\nFFD5 22\nFFD6 33\nFFD7 44\nFFD8 55\nFFD9 66\nFFDA 77\n",
         2,
         {0xD4, 0xFF, 0x00}},
        {"Vireo/H from the ID file",
         sim::McuType::VireoH,
         {0x0C0000},
         "FFFDF:99\nFFFFDF 11\nFFFFE3 22\nFFFFEB 33\nFFFFEF 44\nFFFFF3 55\nFFFFF7 66\nFFFFFB 77\n",
         1,
         {0xDF, 0xFF, 0xFF}},
    };
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kv::ProgramName(e)) + ": " + c.name);
            IdRig rig(e, c.mcu);
            std::string program = "S00600004844521B\n";
            for (uint32_t a : c.data) program += kvtest::Record(2, a, {0xA5}) + "\n";
            const std::string path = rig.dir.Write("app.mot", program + "S9030000FC\n");
            rig.dir.Write("app.id", c.idFile);
            rig.Ui().Press(kRefer).ChooseFile(path).Press(tk::IDOK);
            EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);
            EXPECT_EQ(rig.mcuType, c.type);
            EXPECT_EQ(rig.App().lastMcuType, c.type);
            EXPECT_EQ(rig.filePath, path);
            EXPECT_EQ(std::vector<std::string>(rig.ids.begin(), rig.ids.end()), kRightId);
            EXPECT_TRUE(rig.chip.IdVerified());
            Bytes frame = Cat({{0xF5}, c.address, {0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}});
            EXPECT_EQ(rig.Sent(), Cat({StatusRead(e), IdCommand(e, frame), StatusRead(e)}));
            EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
            EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
            const auto files = rig.Ui().EventsOf(tk::ScriptEvent::Type::FileOpen);
            ASSERT_EQ(files.size(), 1u);
            EXPECT_EQ(files[0].filter, kv::kProgramFileFilter);
        }
    }
}

TEST(IdCheck, ReferRefusesOtherNamesAndMissingIdFiles) {
    struct Case {
        const char* name;
        const char* file;
        const char* message;
        tk::Icon icon;
    };
    for (const Case& c :
         {Case{"upper-case S2", "app.S2", "Can not accept this file.", tk::Icon::Stop},
          Case{"other ending", "app.ihex", "Can not accept this file.", tk::Icon::Stop},
          Case{"no ID file beside a .hex", "app.hex", "Can not found the ID file.", tk::Icon::Exclamation},
          Case{"no ID file", "app.s2", "Can not found the ID file.", tk::Icon::Exclamation}}) {
        SCOPED_TRACE(c.name);
        IdRig rig;
        rig.App().firstRun = 0;
        const std::string path = rig.dir.Write(c.file, ProgramText({0xFFFFF0}));
        rig.TypeIds(kRightId);
        rig.Ui().Press(kRefer).ChooseFile(path).Answer(tk::IDOK, c.message).Press(tk::IDCANCEL);
        EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
        EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox).at(0).icon, c.icon);
        for (const auto& id : rig.ids) EXPECT_EQ(id, "");
        EXPECT_EQ(rig.mcuType, 1);  // as the image's range says
        EXPECT_EQ(rig.filePath, path);
        EXPECT_NE(rig.App().Image().Page(0xFFFF), nullptr);  // the data are loaded all the same
        EXPECT_TRUE(rig.Sent().empty());
    }
}

TEST(IdCheck, ReferKeepsTheIdsThatTheFileDoesNotName) {
    IdRig rig;
    const std::string path = rig.dir.Write("app.s", ProgramText({0x0C0000}));
    rig.dir.Write("app.id", "FFFE3 22\nFFFEB 33\n");
    rig.TypeIds({"11", "99", "99", "44", "55", "66", "77"});
    rig.Ui().Press(kRefer).ChooseFile(path).Press(tk::IDOK);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);
    EXPECT_EQ(std::vector<std::string>(rig.ids.begin(), rig.ids.end()), kRightId);
}

TEST(IdCheck, ReferCancelledChangesNothing) {
    IdRig rig;
    rig.App().lastMcuType = 2;
    rig.App().firstRun = 0;
    rig.Ui().Type(kPath, "/x/app.mot").Press(kRefer).CancelFile().Press(tk::IDCANCEL);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_EQ(rig.filePath, "/x/app.mot");
    EXPECT_EQ(rig.mcuType, 2);  // the dialog starts with the last type
    EXPECT_TRUE(rig.Messages().empty());
}

TEST(IdCheck, ChosenRadioSendsItsAddress) {
    IdRig rig(Edition::Kelvane, sim::McuType::Wren);
    rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
    rig.TypeIds(kRightId);
    rig.Ui().Press(CIDCheckDlg::IDC_WREN).Press(tk::IDOK);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);
    EXPECT_EQ(rig.App().lastMcuType, 2);
    EXPECT_EQ(rig.Sent(),
              Cat({{0x70}, {0xF5, 0xD4, 0xFF, 0x00, 0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}, {0x70}}));
}

TEST(IdCheck, NoRadioChosenSendsTheVireoMAddress) {
    const kv::CIDCheckDlg::IdTexts ids = {"00", "01", "02", "03", "04", "05", "06"};
    const auto frame = CIDCheckDlg::BuildIdFrame(-1, ids);
    EXPECT_EQ(Bytes(frame.begin(), frame.end()),
              (Bytes{0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
}

TEST(IdCheck, KelvliteMovesToTheNextIdFieldAfterTwoCharacters) {
    for (Edition e : {Edition::Kelvane, Edition::Kelvlite}) {
        kvtest::LinkRig rig(e);
        CIDCheckDlg dlg(rig.App());
        dlg.Initialize();
        const bool lite = e == Edition::Kelvlite;
        EXPECT_EQ(dlg.IsItemVisible(CIDCheckDlg::IDC_VIREO_M), !lite);
        EXPECT_EQ(dlg.IsItemEnabled(CIDCheckDlg::IDC_WREN), !lite);
        dlg.SetFocus(CIDCheckDlg::IDC_ID1);
        dlg.UserEdit(CIDCheckDlg::IDC_ID1, "1");
        EXPECT_EQ(dlg.Focus(), CIDCheckDlg::IDC_ID1);
        for (int i = 0; i < CIDCheckDlg::kIdCount; ++i) {
            const int id = CIDCheckDlg::IDC_ID1 + i;
            dlg.SetFocus(id);
            dlg.UserEdit(id, "12");
            const int next = i + 1 < CIDCheckDlg::kIdCount ? id + 1 : tk::IDOK;
            EXPECT_EQ(dlg.Focus(), lite ? next : id) << kv::ProgramName(e) << " field " << i;
        }
        dlg.SetFocus(CIDCheckDlg::IDC_FILE_PATH);
        dlg.UserEdit(CIDCheckDlg::IDC_FILE_PATH, "ab");
        EXPECT_EQ(dlg.Focus(), CIDCheckDlg::IDC_FILE_PATH);
    }
}

// A status read after the ID frame that gets no reply: the user resets the
// board, the link is rebuilt, and the dialog stays open with the ID not
// verified.
TEST_P(BothPrograms, NoReplyAfterTheIdFrameKeepsTheDialogOpen) {
    const Edition e = GetParam();
    IdRig rig(e);
    rig.App().firstRun = 0;
    sim::ReplyFault silent;
    silent.code = 0x70;
    silent.nth = 2;
    rig.chip.AddReplyFault(silent);
    // The chip goes down on the status read after the ID frame.
    const size_t sent = StatusRead(e).size() + IdCommand(e, kIdFrameM).size() + (e == Edition::Kelvlite ? 4 : 1);
    rig.chip.MutableFaults().resetAfterBytes = rig.chip.Transcript().size() + sent;
    rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);  // "Set baudrate"
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_EQ(rig.chip.ResetCount(), 1);
    EXPECT_EQ(rig.App().idVerified, 0);
    EXPECT_EQ(rig.App().linkReady, 1);
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"});
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(IdCheck, QuitDuringTheRecoveryEndsTheDialog) {
    IdRig rig;
    rig.App().firstRun = 0;
    sim::ReplyFault silent;
    silent.code = 0x70;
    silent.nth = 2;
    rig.chip.AddReplyFault(silent);
    rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
    EXPECT_EQ(rig.RunIdCheck(), tk::IDCANCEL);
    EXPECT_TRUE(rig.Ui().QuitRequested());
    EXPECT_EQ(rig.App().idVerified, 0);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(IdCheck, NoReplyToTheFirstStatusReadStillSendsTheId) {
    IdRig rig;
    rig.App().firstRun = 0;
    sim::ReplyFault silent;
    silent.code = 0x70;
    silent.nth = 1;
    rig.chip.AddReplyFault(silent);
    rig.Ui().Type(kPath, rig.dir.Write("app.mot", ProgramText({0x0C0000})));
    rig.TypeIds(kRightId);
    rig.Ui().Press(tk::IDOK).Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);  // "Set baudrate"
    EXPECT_EQ(rig.RunIdCheck(), tk::IDOK);
    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_TRUE(rig.chip.IdVerified());
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

}  // namespace
