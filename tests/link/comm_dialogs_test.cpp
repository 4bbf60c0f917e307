// "Set baudrate" and "Do you set communication state?".
#include <gtest/gtest.h>

#include "app/dialogs/first_set_dlg.h"
#include "app/dialogs/set_comm_dlg.h"
#include "tests/link/link_rig.h"

namespace {

using kv::CSetCommDlg;
using kvtest::LinkRig;

constexpr int kBaud = CSetCommDlg::IDC_BAUD_RATE;
constexpr int kInterval = CSetCommDlg::IDC_PROGRAM_INTERVAL;

TEST(SetCommDlg, PresetShowsTheRateAndTheInterval) {
    LinkRig rig;
    CSetCommDlg dlg(rig.App());
    dlg.SetValues(38400, 8, 0, 0);
    rig.Ui().Press(tk::IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(dlg.GetItemText(kBaud), "38400");
    EXPECT_EQ(dlg.GetItemText(kInterval), "40");
    EXPECT_EQ(dlg.Caption(), "Set baudrate");
}

TEST(SetCommDlg, GetValuesTakesTheLeadingNumber) {
    struct Case {
        const char* typed;
        int answer;
        uint32_t baud;
    };
    const Case cases[] = {{"4800", 1, 4800},       {"", 0, 12345},       {"abc", 1, 0},
                          {"57600 bps", 1, 57600}, {" 19200", 1, 19200}, {"99999999999", 1, 2147483647}};
    for (const auto& c : cases) {
        LinkRig rig;
        CSetCommDlg dlg(rig.App());
        dlg.SetValues(9600, 8, 0, 0);
        rig.Ui().Type(kBaud, c.typed).Press(tk::IDOK);
        ASSERT_EQ(dlg.DoModal(), tk::IDOK);
        uint32_t baud = 12345;
        uint8_t size = 7, stop = 1, parity = 2;
        EXPECT_EQ(dlg.GetValues(baud, size, stop, parity), c.answer) << c.typed;
        EXPECT_EQ(baud, c.baud) << c.typed;
        EXPECT_EQ(size, 7);
        EXPECT_EQ(stop, 1);
        EXPECT_EQ(parity, 2);
    }
}

TEST(SetCommDlg, ProgramIntervalLastsForTheRun) {
    LinkRig rig;
    EXPECT_EQ(rig.App().programInterval, 40);
    {
        CSetCommDlg dlg(rig.App());
        rig.Ui().Type(kInterval, "50").Press(tk::IDOK);
        ASSERT_EQ(dlg.DoModal(), tk::IDOK);
    }
    EXPECT_EQ(rig.App().programInterval, 50);
    CSetCommDlg next(rig.App());
    int ms = 0;
    EXPECT_EQ(next.GetInterval(ms), 1);
    EXPECT_EQ(ms, 50);
    rig.Ui().Type(kInterval, "").Press(tk::IDOK);
    ASSERT_EQ(next.DoModal(), tk::IDOK);
    EXPECT_EQ(next.GetItemText(kInterval), "");
    EXPECT_EQ(rig.App().programInterval, 50);  // an empty text changes nothing
    ms = 7;
    EXPECT_EQ(next.GetInterval(ms), 0);
    EXPECT_EQ(ms, 7);

    CSetCommDlg cancelled(rig.App());
    rig.Ui().Type(kInterval, "5").Press(tk::IDCANCEL);
    EXPECT_EQ(cancelled.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(rig.App().programInterval, 50);
}

TEST(SetCommDlg, IntervalsAboveTenSecondsAreRefusedAndTheDialogStaysOpen) {
    struct Case {
        const char* typed;
        bool refused;
        int interval;  // after the dialog
    };
    const Case cases[] = {
        {"10000", false, 10000}, {"10001", true, 40}, {"100000", true, 40}, {"99999999999", true, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        LinkRig rig;
        CSetCommDlg dlg(rig.App());
        rig.Ui().Type(kInterval, c.typed).Press(tk::IDOK);
        if (c.refused) {
            rig.Ui().Answer(tk::IDOK, "Too long program interval.\nThe program interval is at most 10000 ms.");
            rig.Ui().Press(tk::IDCANCEL);
        }
        EXPECT_EQ(dlg.DoModal(), c.refused ? tk::IDCANCEL : tk::IDOK);
        EXPECT_EQ(rig.App().programInterval, c.interval);
        const auto boxes = rig.Ui().EventsOf(tk::ScriptEvent::Type::MessageBox);
        ASSERT_EQ(boxes.size(), c.refused ? 1u : 0u);
        if (c.refused) {
            EXPECT_EQ(boxes[0].icon, tk::Icon::Exclamation);
        }
    }
}

TEST(SetCommDlg, KelvliteListHasNo115200) {
    LinkRig lite(kv::Edition::Kelvlite);
    LinkRig full;
    CSetCommDlg liteDlg(lite.App());
    CSetCommDlg fullDlg(full.App());
    const auto liteItems = liteDlg.Template().Find(kBaud)->items;
    const auto fullItems = fullDlg.Template().Find(kBaud)->items;
    EXPECT_EQ(fullItems, (std::vector<std::string>{"9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(liteItems, (std::vector<std::string>{"9600", "19200", "38400", "57600"}));
}

TEST(FirstSetDlg, OkAndCancel) {
    for (int button : {tk::IDOK, tk::IDCANCEL}) {
        LinkRig rig;
        kv::CFirstSetDlg dlg(rig.App());
        rig.Ui().Press(button);
        EXPECT_EQ(dlg.DoModal(), button);
        EXPECT_EQ(dlg.Caption(), "Do you set communication state?");
        EXPECT_EQ(dlg.Template().id, kv::IDD_FIRST_SET);
    }
}

}  // namespace
