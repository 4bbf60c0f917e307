// The file selection of the boot-loader mode.
#include <gtest/gtest.h>

#include "app/dialogs/select_dlg.h"

#include "app/dialogs/id_check_dlg.h"
#include "app/recent_files.h"
#include "tests/iddlg/id_rig.h"

namespace {

using kv::CSelectDlg;
using kvtest::LinkRig;
using kvtest::ProgramText;

constexpr int kPath = CSelectDlg::IDC_FILE_PATH;
constexpr int kRefer = CSelectDlg::IDC_REFER;

struct Outcome {
    int result;
    std::string path;
};

Outcome RunSelect(LinkRig& rig) {
    CSelectDlg dlg(rig.App());
    const int result = dlg.DoModal();
    return {result, dlg.FilePath()};
}

TEST(SelectDlg, ReferTakesOnlyProgramFileNames) {
    struct Case {
        const char* file;
        bool accepted;
    };
    for (const Case& c :
         {Case{"boot.mot", true}, Case{"boot.s", true}, Case{"boot.s2", true}, Case{"boot.S", false},
          Case{"boot.btp", false}, Case{"boot.mot.bak", false}, Case{"boot.srec", true}, Case{"boot.s19", true},
          Case{"boot.s28", true}, Case{"boot.s37", true}, Case{"boot.hex", true}, Case{"boot.HEX", false}}) {
        SCOPED_TRACE(c.file);
        LinkRig rig(kv::Edition::Kelvane, 1);
        kvtest::ScratchDir dir;
        const std::string path = dir.Write(c.file, ProgramText({0x2000}));
        rig.Ui().Press(kRefer).ChooseFile(path);
        if (!c.accepted) rig.Ui().Answer(tk::IDOK, "Can not accept this file.");
        rig.Ui().Press(tk::IDCANCEL);
        const Outcome out = RunSelect(rig);
        EXPECT_EQ(out.result, tk::IDCANCEL);
        EXPECT_EQ(out.path, c.accepted ? path : "");
        EXPECT_NE(rig.App().Image().Page(0x20), nullptr);  // loaded before the name is looked at
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), c.accepted ? 0u : 1u);
        if (!c.accepted) {
            EXPECT_EQ(boxes[0].icon, tk::Icon::Stop);
        }
        EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::FileOpen).at(0).filter, kv::kProgramFileFilter);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(SelectDlg, ReferWithARefusedFileTellsOnceAndKeepsNothing) {
    LinkRig rig(kv::Edition::Kelvane, 1);
    kvtest::ScratchDir dir;
    const std::string path = dir.Write("boot.btp", "S1040000A55700\n");  // a wrong checksum
    rig.Ui().Press(kRefer).ChooseFile(path).Answer(tk::IDOK, "Can not accept this file.").Press(tk::IDCANCEL);
    EXPECT_EQ(RunSelect(rig).path, path);  // as with a file that cannot be opened
    EXPECT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(rig.App().Image().PageCount(), 0u);
}

TEST(SelectDlg, OkLoadsTheFileAndCountsTheIdAsVerified) {
    LinkRig rig(kv::Edition::Kelvane, 1);
    kvtest::ScratchDir dir;
    const std::string path = dir.Write("boot.mot", ProgramText({0x2000}));
    rig.Ui().Type(kPath, path).Press(tk::IDOK);
    const Outcome out = RunSelect(rig);
    EXPECT_EQ(out.result, tk::IDOK);
    EXPECT_EQ(rig.App().idVerified, 1);
    EXPECT_NE(rig.App().Image().Page(0x20), nullptr);
    EXPECT_TRUE(rig.Messages().empty());
    EXPECT_FALSE(rig.Ui().EventsOf(tk::ScriptEvent::Type::WaitBegin).empty());
    EXPECT_TRUE(rig.Dev().SentBytes().empty());  // no exchange with the chip
}

// Each file taken with OK goes first in the recent list (four at most, in
// the settings file); the next dialog opens on the newest and offers them
// all, a refused file is not kept, and a file named on the command line
// comes first.
TEST(SelectDlg, RemembersTheFilesUsedLast) {
    LinkRig rig(kv::Edition::Kelvane, 1);
    kvtest::ScratchDir dir;
    std::vector<std::string> files;
    for (const char* name : {"a.mot", "b.hex", "c.s19", "d.srec", "e.s37"})
        files.push_back(dir.Write(name, ProgramText({0x2000})));
    const std::string bad = dir.Write("bad.mot", kvtest::Record(1, 0x2000, {1}, 1) + "\n");
    struct Step {
        std::string typed;                // empty: OK on what the dialog shows
        std::string shown;                // FilePath when the dialog opens
        std::vector<std::string> recent;  // the list afterwards, newest first
    };
    const Step steps[] = {
        {files[0], "", {files[0]}},
        {files[1], files[0], {files[1], files[0]}},
        {"", files[1], {files[1], files[0]}},  // the same file again: no repeat
        {files[2], files[1], {files[2], files[1], files[0]}},
        {files[3], files[2], {files[3], files[2], files[1], files[0]}},
        {files[4], files[3], {files[4], files[3], files[2], files[1]}},  // the oldest drops out
        {files[0], files[4], {files[0], files[4], files[3], files[2]}},
        {bad, files[0], {files[0], files[4], files[3], files[2]}},  // refused: not kept
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.typed);
        rig.Ui().ClearTranscript();
        if (!step.typed.empty()) rig.Ui().Type(kPath, step.typed);
        rig.Ui().Press(tk::IDOK);
        if (step.typed == bad) rig.Ui().Answer(tk::IDOK).Press(tk::IDCANCEL);
        CSelectDlg dlg(rig.App());
        EXPECT_EQ(dlg.FilePath(), step.shown);
        const std::vector<std::string> offered = dlg.Template().Find(kPath)->items;
        EXPECT_EQ(offered, kv::RecentFiles(rig.Profile()));
        dlg.DoModal();
        EXPECT_EQ(kv::RecentFiles(rig.Profile()), step.recent);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
    EXPECT_EQ(rig.Profile().Get("Recent Files", "File1"), files[0]);

    rig.App().commandLineFile = files[3];
    EXPECT_EQ(kv::FirstFilePath(rig.App()), files[3]);
}

TEST(SelectDlg, OkRefusals) {
    kvtest::ScratchDir dir;
    const std::string missing = dir.File("gone.mot");
    const std::string bad = dir.Write("bad.mot", kvtest::Record(1, 0x2000, {1}, 1) + "\nS9030000FC\n");
    struct Case {
        const char* name;
        std::string typed;
        std::string message;
        tk::Icon icon;
        int result;  // the dialog stays open (Cancel ends it) or closes with OK
    };
    const Case cases[] = {
        {"no file name", "", "Did not input filename.", tk::Icon::Exclamation, tk::IDCANCEL},
        {"file not found", missing, missing + " was not found.", tk::Icon::Exclamation, tk::IDCANCEL},
        {"refused file", bad, "Can not accept this file.\nLine 1: bad record (digits, count or checksum)",
         tk::Icon::None, tk::IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig(kv::Edition::Kelvane, 1);
        rig.Ui().Type(kPath, c.typed).Press(tk::IDOK).Answer(tk::IDOK, c.message);
        if (c.result == tk::IDCANCEL) rig.Ui().Press(tk::IDCANCEL);
        EXPECT_EQ(RunSelect(rig).result, c.result);
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), 1u) << rig.Ui().TranscriptText();
        EXPECT_EQ(boxes[0].icon, c.icon);
        EXPECT_EQ(rig.App().idVerified, 0);
        EXPECT_EQ(rig.App().Image().PageCount(), 0u);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

}  // namespace
