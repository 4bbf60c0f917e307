// The scripted front end: actions in order, checks on the controls they
// name, the transcript, and what happens when the script runs out.
#include <gtest/gtest.h>

#include "tests/toolkit/test_dialogs.h"
#include "toolkit/scripted/scripted_ui.h"

namespace {

using namespace kvtest;
using T = tk::ScriptEvent::Type;

TEST(ScriptedUi, RunsTheScriptAndRecordsTheTranscript) {
    tk::ScriptedUi ui;
    std::optional<std::string> file;
    int answer = 0;
    FormDlg* seen = nullptr;
    PanelDlg panel(ui, [&] {
        FormDlg form(ui);
        seen = &form;
        if (form.DoModal() == tk::IDOK) {
            file = ui.OpenFile("Mot (*.mot)|*.mot|");
            answer = ui.MessageBox("Go?\r\nReally", "Kelvane", tk::Icon::Exclamation, tk::Buttons::OkCancel);
            ui.Trace("Z_Type = +Z \n");
            FormDlg copy(ui);
            copy.name = form.name;
            copy.port = form.port;
            EXPECT_EQ(copy.DoModal(), tk::IDOK);
        }
        seen = nullptr;
    });
    ui.Press(kRun)
        .Type(kPort, "COM3")
        .Press(tk::IDOK)
        .ChooseFile("/x.mot")
        .Answer(tk::IDOK, "Go?\r\nReally")
        .Press(tk::IDOK)
        .Press(tk::IDCANCEL);
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(file, "/x.mot");
    EXPECT_EQ(answer, tk::IDOK);
    EXPECT_EQ(ui.Remaining(), 0u);
    EXPECT_TRUE(ui.Errors().empty()) << ui.TranscriptText();
    EXPECT_EQ(ui.Traces(), std::vector<std::string>{"Z_Type = +Z \n"});

    std::vector<T> types;
    for (const auto& e : ui.Events()) types.push_back(e.type);
    EXPECT_EQ(types, (std::vector<T>{T::DialogOpened, T::DialogOpened, T::DialogClosed, T::FileOpen, T::MessageBox,
                                     T::Trace, T::DialogOpened, T::DialogClosed, T::DialogClosed}));
    const auto& box = ui.Events()[4];
    EXPECT_EQ(box.caption, "Kelvane");
    EXPECT_EQ(box.icon, tk::Icon::Exclamation);
    EXPECT_EQ(box.buttons, tk::Buttons::OkCancel);
    EXPECT_EQ(box.result, tk::IDOK);
    EXPECT_EQ(ui.Events()[1].templateId, kFormId);
    EXPECT_EQ(ui.Events()[2].result, tk::IDOK);
    EXPECT_EQ(ui.TranscriptText(),
              "dialog 600 \"Panel\" opened\n"
              "dialog 500 \"Form\" opened\n"
              "dialog 500 \"Form\" closed: OK\n"
              "file-open [Mot (*.mot)|*.mot|] -> \"/x.mot\"\n"
              "message \"Kelvane\" (exclamation, OK/Cancel): \"Go?\\r\\nReally\" -> OK\n"
              "trace \"Z_Type = +Z \\n\"\n"
              "dialog 500 \"Form\" opened\n"
              "dialog 500 \"Form\" closed: OK\n"
              "dialog 600 \"Panel\" closed: Cancel\n");
}

TEST(ScriptedUi, RefusesActionsOnControlsTheUserCannotReach) {
    struct Case {
        const char* what;
        std::function<void(tk::ScriptedUi&)> act;
    } cases[] = {
        {"missing", [](tk::ScriptedUi& ui) { ui.Press(9999); }},
        {"hidden", [](tk::ScriptedUi& ui) { ui.Press(kHiddenBtn); }},
        {"disabled", [](tk::ScriptedUi& ui) { ui.Press(kDisabledBtn); }},
        {"read-only", [](tk::ScriptedUi& ui) { ui.Type(kReadOnly, "x"); }},
        {"type into a button", [](tk::ScriptedUi& ui) { ui.Type(tk::IDOK, "x"); }},
        {"press an edit", [](tk::ScriptedUi& ui) { ui.Press(kName); }},
    };
    for (const auto& c : cases) {
        tk::ScriptedUi ui;
        c.act(ui);
        ui.Press(tk::IDOK);
        FormDlg form(ui);
        EXPECT_EQ(form.DoModal(), tk::IDOK) << c.what;  // the refused action is skipped
        EXPECT_EQ(ui.Errors().size(), 1u) << c.what << "\n" << ui.TranscriptText();
        EXPECT_EQ(form.GetItemText(kReadOnly), "") << c.what;
    }
}

TEST(ScriptedUi, RunOutCancelsDialogsAndAnswersBoxes) {
    tk::ScriptedUi ui;
    FormDlg form(ui);
    EXPECT_EQ(form.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(ui.MessageBox("a", "K", tk::Icon::Stop, tk::Buttons::OkCancel), tk::IDCANCEL);
    EXPECT_EQ(ui.MessageBox("b", "K", tk::Icon::Stop, tk::Buttons::Ok), tk::IDOK);
    EXPECT_EQ(ui.OpenFile("*|*|"), std::nullopt);
    EXPECT_TRUE(ui.PumpPending());
    EXPECT_TRUE(ui.Errors().empty());
    EXPECT_TRUE(ui.EventsOf(T::ForcedEnd).empty());
}

TEST(ScriptedUi, DialogThatIgnoresCancelIsForcedToEnd) {
    class Stubborn : public FormDlg {
    public:
        using FormDlg::FormDlg;
        void OnCancel() override { ++cancels; }
        int cancels = 0;
    };
    tk::ScriptedUi ui;
    ui.Press(tk::IDCANCEL);  // ignored: the dialog stays, the script runs out
    Stubborn dlg(ui);
    EXPECT_EQ(dlg.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(dlg.cancels, 2);
    ASSERT_EQ(ui.EventsOf(T::ForcedEnd).size(), 1u);
    EXPECT_EQ(ui.EventsOf(T::ForcedEnd)[0].templateId, kFormId);
}

TEST(ScriptedUi, ActionThatDoesNotFitIsAnErrorAndWaitsForItsPrompt) {
    tk::ScriptedUi ui;
    ui.Answer(tk::IDOK).ChooseFile("/a");
    FormDlg form(ui);
    EXPECT_EQ(form.DoModal(), tk::IDCANCEL);  // an answer is no input for a dialog
    EXPECT_EQ(ui.Errors().size(), 1u);
    // The box that follows takes the answer, the file-open the file.
    EXPECT_EQ(ui.MessageBox("x", "K", tk::Icon::None, tk::Buttons::OkCancel), tk::IDOK);
    EXPECT_EQ(ui.OpenFile("f"), "/a");
    // A wrong text or an impossible answer is reported too.
    ui.Answer(tk::IDOK, "expected").Answer(tk::IDCANCEL);
    EXPECT_EQ(ui.MessageBox("actual", "K", tk::Icon::None, tk::Buttons::Ok), tk::IDOK);
    EXPECT_EQ(ui.MessageBox("ok only", "K", tk::Icon::None, tk::Buttons::Ok), tk::IDOK);
    EXPECT_EQ(ui.Errors().size(), 3u) << ui.TranscriptText();
}

TEST(ScriptedUi, CancelsTheProgressWindowDuringTheNthPump) {
    tk::ScriptedUi ui;
    int flag = 0, pages = 0;
    PanelDlg panel(ui, [&] {
        flag = 0;
        auto* progress = new ProgressDlg(ui, flag);
        progress->Open();
        progress->Prepare("Program.", "Program", 0, 9);
        for (int page = 0; page < 10; ++page) {
            ++pages;
            progress->SetPos(kBar, page / 2);
            ui.PumpPending();
            if (flag) break;
        }
        const bool stopped = flag != 0;
        progress->Close();
        delete progress;
        ui.MessageBox(stopped ? "Stop programming." : "Program OK.", "Kelvane", tk::Icon::Information, tk::Buttons::Ok);
    });
    ui.Press(kRun).CancelProgressAfter(3).Answer(tk::IDOK, "Stop programming.");
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(ui.PumpCount(), 3);
    EXPECT_TRUE(ui.Errors().empty()) << ui.TranscriptText();

    auto enabled = ui.EventsOf(T::WindowEnabled);
    ASSERT_EQ(enabled.size(), 2u);
    EXPECT_EQ(enabled[0].templateId, kPanelId);
    EXPECT_FALSE(enabled[0].enabled);
    EXPECT_TRUE(enabled[1].enabled);

    auto destroyed = ui.EventsOf(T::ModelessDestroyed);
    ASSERT_EQ(destroyed.size(), 1u);
    EXPECT_EQ(destroyed[0].templateId, kProgressId);
    EXPECT_EQ(destroyed[0].caption, "Program");
    EXPECT_EQ(destroyed[0].messages, std::vector<std::string>{"Program."});
    EXPECT_EQ(destroyed[0].ranges, (std::vector<std::pair<int, int>>{{0, 9}}));
    EXPECT_EQ(destroyed[0].positions, (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(ui.EventsOf(T::ModelessShown)[0].caption, "Titel");
}

TEST(ScriptedUi, ChoosesSystemMenuEntries) {
    tk::ScriptedUi ui;
    ui.ChooseMenu(0x11).ChooseMenu(0x10);
    MenuPanelDlg panel(ui);
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(panel.chosen, 0x10);
    EXPECT_EQ(ui.Errors().size(), 1u);  // 0x11 is no entry
}

TEST(ScriptedUi, QuitDuringAPumpStopsPumping) {
    tk::ScriptedUi ui;
    ui.RequestQuit(5);
    EXPECT_FALSE(ui.PumpPending());
    EXPECT_FALSE(ui.PumpPending());
    EXPECT_EQ(ui.ExitCode(), 5);
    ASSERT_EQ(ui.EventsOf(T::Quit).size(), 1u);
}

}  // namespace
