// The dialog base: radio groups, data exchange, ending, field styles, and
// the quit request that ends every open modal dialog.
#include <gtest/gtest.h>

#include "tests/toolkit/test_dialogs.h"
#include "toolkit/scripted/scripted_ui.h"

namespace {

using namespace kvtest;

TEST(Dialog, RadioGroupChecksOneAndExchangesIndex) {
    tk::ScriptedUi ui;
    FormDlg dlg(ui);
    dlg.Initialize();  // mode 1 -> B
    EXPECT_FALSE(dlg.IsChecked(kModeA));
    EXPECT_TRUE(dlg.IsChecked(kModeB));

    dlg.CheckRadio(kModeC);
    EXPECT_FALSE(dlg.IsChecked(kModeB));
    EXPECT_TRUE(dlg.IsChecked(kModeC));
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.mode, 2);

    // Out of range clears the group; saving a group with none checked gives -1.
    dlg.mode = 7;
    dlg.UpdateData(false);
    for (int id : {kModeA, kModeB, kModeC}) EXPECT_FALSE(dlg.IsChecked(id)) << id;
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.mode, -1);

    // A click on a radio goes through the default command handling.
    dlg.Command(kModeA);
    EXPECT_TRUE(dlg.IsChecked(kModeA));
    EXPECT_FALSE(dlg.Ended());
}

TEST(Dialog, RadioGroupsEndWhereTheirContainerChanges) {
    using tk::Kind;
    tk::DialogTemplate t;
    t.id = 1;
    t.controls = {
        Ctl(10, Kind::GroupBox, "First", 0, {}, 0, 0, 0), Ctl(20, Kind::GroupBox, "Second", 0, {}, 0, 0, 1),
        Ctl(11, Kind::RadioButton, "a", 0, {}, 10, 0, 0), Ctl(12, Kind::RadioButton, "b", 0, {}, 10, 1, 0),
        Ctl(21, Kind::RadioButton, "c", 0, {}, 20, 0, 0), Ctl(22, Kind::RadioButton, "d", 0, {}, 20, 1, 0),
    };
    tk::ScriptedUi ui;
    tk::Dialog dlg(ui, t);
    dlg.CheckRadio(12);
    dlg.CheckRadio(21);
    EXPECT_TRUE(dlg.IsChecked(12));
    EXPECT_TRUE(dlg.IsChecked(21));
    int first = 0, second = 0;
    tk::DataExchange save(dlg, true);
    save.Radio(11, first);
    save.Radio(21, second);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    int none = 5;
    tk::DataExchange(dlg, false).Radio(11, none);
    EXPECT_FALSE(dlg.IsChecked(12));
    EXPECT_TRUE(dlg.IsChecked(21));
}

TEST(Dialog, OkSavesMembersCancelLeavesThem) {
    for (int button : {tk::IDOK, tk::IDCANCEL}) {
        tk::ScriptedUi ui;
        ui.Type(kName, "new").Press(kModeC).Press(button);
        FormDlg dlg(ui);
        EXPECT_EQ(dlg.DoModal(), button);
        EXPECT_TRUE(dlg.Ended());
        EXPECT_EQ(dlg.name, button == tk::IDOK ? "NEW" : "abc");
        EXPECT_EQ(dlg.mode, button == tk::IDOK ? 2 : 1);
        EXPECT_TRUE(ui.Errors().empty()) << ui.TranscriptText();
    }
}

TEST(Dialog, TypedTextTakesTheFieldStyle) {
    tk::ScriptedUi ui;
    FormDlg dlg(ui);
    dlg.Initialize();
    EXPECT_EQ(dlg.GetItemText(kName), "abc");  // loaded as stored, not shaped
    dlg.UserEdit(kName, "0c00ff");
    EXPECT_EQ(dlg.GetItemText(kName), "0C00FF");
    dlg.UserEdit(kCount, "1a2-3 ");
    EXPECT_EQ(dlg.GetItemText(kCount), "123");
    dlg.UserEdit(kPort, "com3");
    EXPECT_EQ(dlg.GetItemText(kPort), "com3");
    EXPECT_EQ(dlg.editChanges, 3);
}

TEST(Dialog, EndDialogKeepsItsResult) {
    tk::ScriptedUi ui;
    PanelDlg panel(ui, [] {});
    ui.Press(kRun);
    class Ender : public PanelDlg {
    public:
        using PanelDlg::PanelDlg;
        bool OnInitDialog() override {
            EndDialog(42);
            return true;
        }
    };
    Ender ender(ui, [] {});
    EXPECT_EQ(ender.DoModal(), 42);
    EXPECT_EQ(ender.Result(), 42);
    EXPECT_EQ(ui.Remaining(), 1u);  // ended before asking for input
}

TEST(Dialog, QuitEndsEveryOpenModalDialogAndLaterOnesAtOnce) {
    tk::ScriptedUi ui;
    int formResult = 0, boxAnswer = 0, laterResult = 0;
    bool pumped = true;
    std::optional<std::string> file = "x";
    PanelDlg panel(ui, [&] {
        FormDlg form(ui);
        formResult = form.DoModal();
        boxAnswer = ui.MessageBox("after", "Kelvane", tk::Icon::Stop, tk::Buttons::Ok);
        FormDlg later(ui);
        laterResult = later.DoModal();
        file = ui.OpenFile("All|*.*|");
        pumped = ui.PumpPending();
    });
    ui.Press(kRun).RequestQuit(3).Press(tk::IDOK);
    EXPECT_EQ(panel.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(formResult, tk::IDCANCEL);
    EXPECT_EQ(boxAnswer, tk::IDCANCEL);
    EXPECT_EQ(laterResult, tk::IDCANCEL);
    EXPECT_EQ(file, std::nullopt);
    EXPECT_FALSE(pumped);
    EXPECT_TRUE(ui.QuitRequested());
    EXPECT_EQ(ui.ExitCode(), 3);
    EXPECT_TRUE(ui.MessageTexts().empty());
    EXPECT_EQ(ui.Remaining(), 1u);  // nothing asked for input after the quit
    EXPECT_TRUE(ui.ModalStack().empty());
}

TEST(Dialog, ModelessDestroyedWithItsObjectLeavesTheFrontEnd) {
    tk::ScriptedUi ui;
    int flag = 0;
    {
        ProgressDlg progress(ui, flag);
        progress.Open();
        EXPECT_EQ(ui.TopModeless(), &progress);
    }
    EXPECT_EQ(ui.TopModeless(), nullptr);
    EXPECT_EQ(ui.EventsOf(tk::ScriptEvent::Type::ModelessDestroyed).size(), 1u);
}

TEST(UiBase, SplitLinesAtEveryKindOfBreak) {
    using V = std::vector<std::string>;
    EXPECT_EQ(tk::UiBase::SplitLines(""), V{""});
    EXPECT_EQ(tk::UiBase::SplitLines("one"), V{"one"});
    EXPECT_EQ(tk::UiBase::SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(tk::UiBase::SplitLines("a\n"), V{"a"});
    EXPECT_EQ(tk::UiBase::SplitLines("a\n\rb"), (V{"a", "", "b"}));
    EXPECT_EQ(tk::UiBase::SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(tk::UiBase::SplitLines("Find not blank at address\r0C0000"), (V{"Find not blank at address", "0C0000"}));
}

TEST(UiBase, WaitCursorCountsDepth) {
    tk::ScriptedUi ui;
    {
        tk::WaitCursor outer(ui);
        tk::WaitCursor inner(ui);
        EXPECT_EQ(ui.WaitCursorDepth(), 2);
    }
    EXPECT_EQ(ui.WaitCursorDepth(), 0);
    ui.EndWaitCursor();
    EXPECT_EQ(ui.WaitCursorDepth(), 0);
    EXPECT_EQ(ui.Errors().size(), 1u);  // the unbalanced End is reported
}

}  // namespace
