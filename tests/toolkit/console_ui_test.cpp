// The console front end's exact output and input rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/toolkit/test_dialogs.h"
#include "toolkit/console/console_ui.h"

namespace {

using namespace kvtest;

struct Console {
    explicit Console(std::string input = {}, bool terminal = false) : in(std::move(input)), ui(in, out, terminal) {}
    tk::StringLineSource in;
    std::ostringstream out;
    tk::ConsoleUi ui;
};

TEST(ConsoleUi, MessageBoxPrintsOneLinePerLineOfText) {
    struct Case {
        std::string text;
        tk::Icon icon;
        std::string expected;
    } cases[] = {
        {"Program OK.", tk::Icon::Information, "Kelvane (information): Program OK.\n"},
        {"Find not blank at address\r0C0000", tk::Icon::None, "Kelvane (none): Find not blank at address\n  0C0000\n"},
        {"Timeout.\nPush RESET.", tk::Icon::Stop, "Kelvane (stop): Timeout.\n  Push RESET.\n"},
        {"Not Found Sequencer Firmware!\r\n This Program is Quit!", tk::Icon::Stop,
         "Kelvane (stop): Not Found Sequencer Firmware!\n   This Program is Quit!\n"},
        {"a\n\rb\n", tk::Icon::Exclamation, "Kelvane (exclamation): a\n  \n  b\n"},
        {"", tk::Icon::None, "Kelvane (none): \n"},
    };
    for (const auto& c : cases) {
        Console con("cancel\n");
        EXPECT_EQ(con.ui.MessageBox(c.text, "Kelvane", c.icon, tk::Buttons::Ok), tk::IDOK);
        EXPECT_EQ(con.out.str(), c.expected);
        EXPECT_EQ(con.in.Unread(), "cancel\n");  // an OK box reads nothing
    }
}

TEST(ConsoleUi, OkCancelBoxReadsItsAnswer) {
    struct Case {
        std::string input;
        int answer;
        std::string prompts;
    } cases[] = {
        {"ok\nnext\n", tk::IDOK, "[OK/Cancel]? "},
        {"OK\nnext\n", tk::IDOK, "[OK/Cancel]? "},
        {"\nnext\n", tk::IDOK, "[OK/Cancel]? "},
        {"  Cancel \r\nnext\n", tk::IDCANCEL, "[OK/Cancel]? "},
        {"", tk::IDCANCEL, "[OK/Cancel]? \n"},
        {"yes\ncancel\nnext\n", tk::IDCANCEL, "[OK/Cancel]? error: answer ok or cancel\n[OK/Cancel]? "},
        {"later\n", tk::IDCANCEL, "[OK/Cancel]? error: answer ok or cancel\n[OK/Cancel]? \n"},
    };
    for (const auto& c : cases) {
        Console con(c.input);
        EXPECT_EQ(con.ui.MessageBox("Timeout.\nPush RESET.", "Kelvane", tk::Icon::Stop, tk::Buttons::OkCancel),
                  c.answer)
            << c.input;
        EXPECT_EQ(con.out.str(), "Kelvane (stop): Timeout.\n  Push RESET.\n" + c.prompts) << c.input;
        EXPECT_TRUE(con.in.Unread() == "next\n" || con.in.Unread().empty()) << c.input;
    }
}

const char* const kFormListing =
    "== Form ==\n"
    "  [-1] static Name\n"
    "  [1002] edit Name: abc\n"
    "  [1003] edit: 7\n"
    "  [1072] edit Shown:  (read-only)\n"
    "  [1050] group Mode\n"
    "  [1058] radio A: off\n"
    "  [1056] radio B: on\n"
    "  [1057] radio C: off\n"
    "  [1060] combo Port: COM1 (list: COM1, COM2)\n"
    "  [-1] separator\n"
    "  [1071] button Off (disabled)\n"
    "  [1] button OK\n"
    "  [2] button Cancel\n";

TEST(ConsoleUi, DialogListsControlsAndTakesCommands) {
    Console con(
        "1002 = hello\n"
        "1070\n"
        "1071\n"
        "1072=x\n"
        "9999=1\n"
        "foo\n"
        "1002\n"
        "=x\n"
        "1057\n"
        "1060=COM3\n"
        "\n"
        "show\n"
        "Ok\n"
        "left over\n");
    FormDlg form(con.ui);
    EXPECT_EQ(form.DoModal(), tk::IDOK);
    EXPECT_EQ(form.name, "HELLO");
    EXPECT_EQ(form.mode, 2);
    EXPECT_EQ(form.port, "COM3");
    EXPECT_EQ(con.in.Unread(), "left over\n");
    std::string after = kFormListing;
    after.replace(after.find("abc"), 3, "HELLO");
    after.replace(after.find("B: on"), 5, "B: off");
    after.replace(after.find("C: off"), 6, "C: on");
    after.replace(after.find("Port: COM1"), 10, "Port: COM3");
    EXPECT_EQ(con.out.str(),
              std::string(kFormListing) +
                  "> "
                  "> error: hidden control 1070\n"
                  "> error: disabled control 1071\n"
                  "> error: control 1072 is read-only\n"
                  "> error: no control 9999\n"
                  "> error: unknown input \"foo\"; type <id>=<text>, <id>, ok, cancel, show or menu <id>\n"
                  "> error: control 1002 is not a button\n"
                  "> error: unknown input \"=x\"; type <id>=<text>, <id>, ok, cancel, show or menu <id>\n"
                  "> > > > " +
                  after + "> ");
}

TEST(ConsoleUi, EndOfInputCancelsTheDialog) {
    Console con;
    FormDlg form(con.ui);
    form.name = "kept";
    EXPECT_EQ(form.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(form.name, "kept");
    std::string listing = kFormListing;
    listing.replace(listing.find("abc"), 3, "kept");
    EXPECT_EQ(con.out.str(), listing + "> \n");

    // A dialog that ignores Cancel is ended all the same.
    class Stubborn : public FormDlg {
    public:
        using FormDlg::FormDlg;
        void OnCancel() override {}
    };
    Console con2("1002=x\n");
    Stubborn stubborn(con2.ui);
    EXPECT_EQ(stubborn.DoModal(), tk::IDCANCEL);
}

TEST(ConsoleUi, ListsAndChoosesSystemMenuEntries) {
    Console con("menu 5\nMenu 16\n");
    MenuPanelDlg panel(con.ui);
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(panel.chosen, 16);
    EXPECT_EQ(con.out.str(),
              "== Panel ==\n"
              "  [1080] button Run...\n"
              "  [2] button Exit\n"
              "  [menu 16] About Kelvix...\n"
              "> error: no menu entry 5\n"
              "> > \n");
}

TEST(ConsoleUi, OkAndCancelReachDialogsWithoutThoseButtons) {
    Console con("cancel\n");
    PanelDlg panel(con.ui, [] {});
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);  // Exit is button 2
    tk::DialogTemplate bare;
    bare.id = 7;
    bare.caption = "Bare";
    bare.controls = {Ctl(tk::IDC_STATIC, tk::Kind::Icon, "", 0, {}, 0, 0, 0)};
    for (auto [input, result] : {std::pair{"ok\n", tk::IDOK}, std::pair{"CANCEL\n", tk::IDCANCEL}}) {
        Console c2(input);
        tk::Dialog dlg(c2.ui, bare);
        EXPECT_EQ(dlg.DoModal(), result);
        EXPECT_EQ(c2.out.str(), "== Bare ==\n  [-1] icon\n> ");
    }
}

class ConsoleFileOpen : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kv_console_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        file = (dir / "prog.mot").string();
        std::ofstream(file) << "S9030000FC\n";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    std::string file;
};

TEST_F(ConsoleFileOpen, RefusesMissingPathsAndDirectories) {
    const std::string missing = (dir / "none.mot").string();
    Console con(missing + "\n" + dir.string() + "\n  " + file + "  \n");
    EXPECT_EQ(con.ui.OpenFile("Mot (*.mot)|*.mot|"), file);
    const std::string prompt = "Open file [Mot (*.mot)|*.mot|]: ";
    const std::string refusal = "\nFile not found.\nPlease verify the correct file name was given.\n";
    EXPECT_EQ(con.out.str(), prompt + missing + refusal + prompt + dir.string() + refusal + prompt);
}

TEST_F(ConsoleFileOpen, EmptyLineOrEndOfInputCancels) {
    Console con("\n" + file + "\n");
    EXPECT_EQ(con.ui.OpenFile("f"), std::nullopt);
    EXPECT_EQ(con.in.Unread(), file + "\n");
    Console eof;
    EXPECT_EQ(eof.ui.OpenFile("f"), std::nullopt);
    EXPECT_EQ(eof.out.str(), "Open file [f]: \n");
}

// Runs a page loop on a progress window under the console.
struct ProgressRun {
    explicit ProgressRun(Console& con) : progress(new ProgressDlg(con.ui, flag)) {
        progress->Open();
        progress->Prepare("Program.", "Program", 0, 20);
    }
    ~ProgressRun() {
        progress->Close();
        delete progress;
    }
    int flag = 0;
    ProgressDlg* progress;
};

TEST(ConsoleUi, ProgressPrintsHeaderOnceAndEveryTenthWhenNotATerminal) {
    Console con;
    {
        ProgressRun run(con);
        for (int pos : {0, 1, 2, 3, 4, 5, 9, 8, 13, 20}) run.progress->SetPos(kBar, pos);
        run.progress->SetItemText(kMessage, "changed");  // shown once only
        run.progress->SetPos(kBar, 25);                  // past the end: stays 100%
    }
    EXPECT_EQ(con.out.str(), "Program: Program.\n  0%\n  10%\n  20%\n  40%\n  60%\n  100%\n");
}

TEST(ConsoleUi, ProgressRedrawsInPlaceOnATerminal) {
    Console con("", true);
    {
        ProgressRun run(con);
        run.progress->SetPos(kBar, 10);
        run.progress->SetPos(kBar, 10);
        con.ui.MessageBox("mid", "K", tk::Icon::None, tk::Buttons::Ok);
        run.progress->SetPos(kBar, 20);
    }
    EXPECT_EQ(con.out.str(),
              "Program: Program.\n"
              "\r  [                    ]   0%"
              "\r  [##########          ]  50%\n"
              "K (none): mid\n"
              "\r  [####################] 100%\n");
}

TEST(ConsoleUi, PumpTakesOnlyACancelThatHasArrived) {
    {
        Console con("1002=x\ncancel\n");
        ProgressRun run(con);
        EXPECT_TRUE(con.ui.PumpPending());
        EXPECT_EQ(run.flag, 0);
        EXPECT_EQ(con.in.Unread(), "1002=x\ncancel\n");  // not taken, nothing behind it looked at
    }
    {
        Console con("canc");  // not complete: the pump must not wait for the rest
        ProgressRun run(con);
        EXPECT_TRUE(con.ui.PumpPending());
        EXPECT_EQ(run.flag, 0);
        con.in.Append("el\r\nnext\n");
        EXPECT_TRUE(con.ui.PumpPending());
        EXPECT_EQ(run.flag, 1);
        EXPECT_FALSE(run.progress->IsWindow());
        EXPECT_EQ(con.in.Unread(), "next\n");
    }
    {
        Console con(" CANCEL \n");
        EXPECT_TRUE(con.ui.PumpPending());  // no progress window: nothing is looked at
        EXPECT_EQ(con.in.Unread(), " CANCEL \n");
    }
}

TEST(ConsoleUi, QuitEndsDialogsAndSilencesLaterOnes) {
    Console con("1080\n");
    int inner = 0, box = 0;
    PanelDlg panel(con.ui, [&] {
        con.ui.Quit(4);
        inner = FormDlg(con.ui).DoModal();
        box = con.ui.MessageBox("x", "K", tk::Icon::None, tk::Buttons::OkCancel);
    });
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(inner, tk::IDCANCEL);
    EXPECT_EQ(box, tk::IDCANCEL);
    EXPECT_FALSE(con.ui.PumpPending());
    EXPECT_EQ(con.ui.ExitCode(), 4);
    EXPECT_EQ(con.out.str(), "== Panel ==\n  [1080] button Run...\n  [2] button Exit\n> ");
}

// Trace lines go out only when asked for, each line behind its time stamp.
TEST(ConsoleUi, TraceGoesOutStampedOnlyWhenAskedFor) {
    Console con;
    con.ui.Trace("Z_Type = +Z \n");
    con.ui.BeginWaitCursor();
    con.ui.EndWaitCursor();
    EXPECT_EQ(con.out.str(), "");
    con.ui.ShowTraces(true);
    con.ui.Trace("Z_Type = +Z \n");
    con.ui.Trace(" old \n");
    EXPECT_TRUE(std::regex_match(con.out.str(), std::regex(" *[0-9]+\\.[0-9]{3} Z_Type = \\+Z \n"
                                                           " *[0-9]+\\.[0-9]{3}  old \n")))
        << con.out.str();
}

}  // namespace
