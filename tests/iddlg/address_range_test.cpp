// The "Input Address" dialog with its remembered texts, and the range
// functions over the memory image.
#include <gtest/gtest.h>

#include "app/dialogs/set_address_dlg.h"
#include "link/check_memory_cmd.h"
#include "tests/image/image_test_util.h"
#include "tests/link/link_rig.h"

namespace {

using kv::CSetAddressDlg;
using kvtest::LinkRig;
using kvtest::Record;

constexpr int kStart = CSetAddressDlg::IDC_START;
constexpr int kEnd = CSetAddressDlg::IDC_END;

TEST(SetAddressDlg, RemembersTheTextsConfirmedWithOk) {
    LinkRig rig;
    {
        CSetAddressDlg dlg(rig.App());
        EXPECT_EQ(dlg.StartText(), "0C0000");
        EXPECT_EQ(dlg.EndText(), "0FFFFF");
        rig.Ui().Type(kStart, "0D0000").Type(kEnd, "0DFFFF").Press(tk::IDCANCEL);
        EXPECT_EQ(dlg.DoModal(), tk::IDCANCEL);
    }
    EXPECT_EQ(rig.App().rememberedStart, "0C0000");  // Cancel keeps them
    EXPECT_EQ(rig.App().rememberedEnd, "0FFFFF");
    {
        CSetAddressDlg dlg(rig.App());
        rig.Ui().Type(kStart, "0E0000").Type(kEnd, "0EFFFF").Press(tk::IDOK);
        EXPECT_EQ(dlg.DoModal(), tk::IDOK);
        std::string text;
        EXPECT_TRUE(dlg.GetText("start", text));
        EXPECT_EQ(text, "0E0000");
        EXPECT_TRUE(dlg.GetText("end", text));
        EXPECT_EQ(text, "0EFFFF");
        EXPECT_FALSE(dlg.GetText("middle", text));
    }
    CSetAddressDlg next(rig.App());
    EXPECT_EQ(next.StartText(), "0E0000");
    EXPECT_EQ(next.EndText(), "0EFFFF");
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(AskAddressRange, RoundsToWholePages) {
    LinkRig rig;
    kv::CCheckMemorryCmd cmd(rig.App());
    rig.Ui().Type(kStart, "0C0012").Type(kEnd, "0C0F00").Press(tk::IDOK);
    uint32_t start = 0, end = 0;
    EXPECT_EQ(cmd.AskAddressRange(start, end), 1);
    EXPECT_EQ(start, 0x0C0000u);
    EXPECT_EQ(end, 0x0C0FFFu);
}

TEST(AskAddressRange, CancelOrAnEmptyTextLeavesTheRange) {
    struct Case {
        const char* name;
        const char* start;
        const char* end;
        int press;
    };
    for (const Case& c : {Case{"cancel", "0C0000", "0C00FF", tk::IDCANCEL}, Case{"empty start", "", "0C00FF", tk::IDOK},
                          Case{"empty end", "0C0000", "", tk::IDOK}}) {
        LinkRig rig;
        kv::CCheckMemorryCmd cmd(rig.App());
        rig.Ui().Type(kStart, c.start).Type(kEnd, c.end).Press(c.press);
        uint32_t start = 0x1234, end = 0x5678;
        EXPECT_EQ(cmd.AskAddressRange(start, end), 0) << c.name;
        EXPECT_EQ(start, 0x1234u) << c.name;
        EXPECT_EQ(end, 0x5678u) << c.name;
    }
}

TEST(AskAddressRange, ShowsTheRangeItIsHandedOrTheRememberedTexts) {
    LinkRig rig;
    rig.App().rememberedStart = "0D0000";
    rig.App().rememberedEnd = "0D00FF";
    kv::CCheckMemorryCmd cmd(rig.App());
    // OK without typing: the fields hold what the dialog was given.
    rig.Ui().Press(tk::IDOK).Press(tk::IDOK);
    uint32_t start = 0, end = 0;
    EXPECT_EQ(cmd.AskAddressRange(start, end), 1);
    EXPECT_EQ(start, 0x0D0000u);
    EXPECT_EQ(end, 0x0D00FFu);
    start = 0x000000;
    end = 0x0000FF;  // a range in page 0 is a range, not "none"
    EXPECT_EQ(cmd.AskAddressRange(start, end), 1);
    EXPECT_EQ(start, 0x000000u);
    EXPECT_EQ(end, 0x0000FFu);
    EXPECT_EQ(rig.App().rememberedStart, "000000");
}

TEST(ImageRange, ScansThePagesWithData) {
    kvtest::ScratchDir dir;
    struct Case {
        const char* name;
        std::vector<uint32_t> data;
        uint32_t start, end;      // DefaultImageRange and FindImageRange
        uint32_t dlStart, dlEnd;  // FindDownloadRange; 0, 0: none below 0x2C00
    };
    const Case cases[] = {
        {"empty image", {}, 0x0C0000, 0x0FFFFF, 0, 0},  // the remembered texts
        {"one block", {0x0C1234, 0x0C5678}, 0x0C1200, 0x0C56FF, 0, 0},
        {"page 0 only", {0x000010}, 0x000000, 0x0000FF, 0x000000, 0x0000FF},
        {"page 0 and more", {0x000000, 0x0C0000}, 0x000000, 0x0C00FF, 0x000000, 0x0000FF},
        {"download limit", {0x2B00, 0x2C00}, 0x2B00, 0x2CFF, 0x2B00, 0x2BFF},
        {"top page", {0xFFFFFF}, 0xFFFF00, 0xFFFFFF, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        std::string text;
        for (uint32_t a : c.data) text += Record(a > 0xFFFF ? 2 : 1, a, {0x12}) + "\n";
        ASSERT_EQ(rig.App().Image().LoadFile(dir.Write("p.mot", text + "S9030000FC\n")), 1);
        kv::CCheckMemorryCmd cmd(rig.App());

        uint32_t start = 0, end = 0;
        EXPECT_EQ(cmd.DefaultImageRange(start, end), 1);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(end, c.end);

        // The dialogs confirm what they show.
        rig.Ui().Press(tk::IDOK).Press(tk::IDOK);
        start = end = 0;
        EXPECT_EQ(cmd.FindImageRange(start, end), 1);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(end, c.end);
        start = end = 0;
        EXPECT_EQ(cmd.FindDownloadRange(start, end), 1);
        // Without data below 0x2C00 the dialog shows the texts that the
        // FindImageRange dialog just confirmed.
        const bool none = c.dlStart == 0 && c.dlEnd == 0;
        EXPECT_EQ(start, none ? c.start : c.dlStart);
        EXPECT_EQ(end, none ? c.end : c.dlEnd);
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

}  // namespace
