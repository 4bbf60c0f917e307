// Blank check and read check: the byte they name, their reports in both
// programs, their pacing and their silent ends.
#include <gtest/gtest.h>

#include "ops/blank_cmd.h"
#include "ops/read_cmd.h"
#include "tests/ops/ops_rig.h"

namespace {

using kv::Edition;
using kvtest::Counting;
using kvtest::EnterRange;
using kvtest::FrameSummary;
using kvtest::MemoryRig;

struct Report {
    std::string text;
    tk::Icon icon;
};

Report OnlyMessage(const tk::ScriptedUi& ui) {
    const auto boxes = kvtest::MessageBoxes(ui);
    EXPECT_EQ(boxes.size(), 1u) << ui.TranscriptText();
    if (boxes.empty()) return {"", tk::Icon::None};
    return {boxes[0].text, boxes[0].icon};
}

TEST(BlankCheck, NamesTheFirstByteThatIsNotBlank) {
    struct Case {
        Edition edition;
        std::string start, end;
        uint32_t address;
        uint8_t value;
        std::string text;
        tk::Icon icon;
    };
    const Case cases[] = {
        {Edition::Kelvane, "000000", "0001FF", 0x000100, 0x7F, "Find not blank at address\r000100", tk::Icon::None},
        {Edition::Kelvane, "0C0000", "0C01FF", 0x0C0110, 0x00, "Find not blank at address\r0C0110", tk::Icon::None},
        {Edition::Kelvane, "0C0000", "0C00FF", 0x0C00FF, 0xFE, "Find not blank at address\r0C00FF", tk::Icon::None},
        {Edition::Kelvlite, "0C0000", "0C01FF", 0x0C0110, 0x00,
         "Find Not Blank Data at Address : 0c0110h \n\n RomData : 000h", tk::Icon::Exclamation},
        {Edition::Kelvlite, "00F000", "00FFFF", 0x00F0A5, 0x7F,
         "Find Not Blank Data at Address : 00f0a5h \n\n RomData : 07fh", tk::Icon::Exclamation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MemoryRig rig(c.edition);
        rig.memory[c.address] = c.value;
        rig.memory[c.address + 1] = 0x00;  // only the first is named
        EnterRange(rig.Ui(), c.start, c.end);
        EXPECT_FALSE(kv::CBlankCmd(rig.App()).Run().Ok());
        const Report r = OnlyMessage(rig.Ui());
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.icon, c.icon);
        // The check stopped at the page that holds the byte.
        const auto frames = kvtest::Frames(rig.Dev().SentBytes());
        if (c.edition == Edition::Kelvane) {
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames.back()[1], static_cast<uint8_t>(c.address >> 8));
        }
        EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::ModelessDestroyed).size(), 1u);
    }
}

TEST(BlankCheck, BlankRangeIsSilentInKelvaneAndConfirmedInKelvlite) {
    for (Edition edition : {Edition::Kelvane, Edition::Kelvlite}) {
        MemoryRig rig(edition);
        EnterRange(rig.Ui(), "0C0000", "0C03FF");
        kv::CBlankCmd(rig.App()).Run();
        if (edition == Edition::Kelvane) {
            EXPECT_TRUE(rig.Messages().empty());
            EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()), "FF:000C FF:010C FF:020C FF:030C");
        } else {
            EXPECT_EQ(OnlyMessage(rig.Ui()).text, "Blank Check OK.");
            EXPECT_EQ(OnlyMessage(rig.Ui()).icon, tk::Icon::Information);
        }
    }
}

// A cancelled check has not looked at the rest of the range: no OK.
TEST(BlankCheck, CancelEndsSilentlyInBothPrograms) {
    for (Edition edition : {Edition::Kelvane, Edition::Kelvlite}) {
        MemoryRig rig(edition);
        EnterRange(rig.Ui(), "0C0000", "0C0FFF");
        rig.Ui().CancelProgressAfter(3);
        kv::CBlankCmd(rig.App()).Run();
        const auto sent = rig.Dev().SentBytes();
        EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
        if (edition == Edition::Kelvane) {
            EXPECT_EQ(FrameSummary(sent), "FF:000C FF:010C FF:020C");
        }
    }
}

TEST(ReadCheck, NamesTheFirstByteThatDiffers) {
    struct Case {
        Edition edition;
        std::string start, end;
        uint32_t address;  // the chip byte that differs from the image
        std::string text;
        tk::Icon icon;
    };
    const Case cases[] = {
        {Edition::Kelvane, "000000", "0003FF", 0x000100, "Find not match at address\r000100", tk::Icon::None},
        {Edition::Kelvane, "0C0000", "0C03FF", 0x0C0000, "Find not match at address\r0C0000", tk::Icon::None},
        {Edition::Kelvane, "0C0000", "0C03FF", 0x0C01FF, "Find not match at address\r0C01FF", tk::Icon::None},
        {Edition::Kelvlite, "0C0000", "0C03FF", 0x0C0105,
         "Find Not Match Data at Address : 0c0105h \n\n MotData\t: 005h \n RomData\t: 0ffh", tk::Icon::Exclamation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MemoryRig rig(c.edition);
        // The image holds 0x000000-0x0001FF and 0x0C0000-0x0C01FF; the chip
        // holds the same, but for one byte left blank.
        const std::map<uint32_t, std::vector<uint8_t>> blocks = {{0x000000, Counting(512, 0)},
                                                                 {0x0C0000, Counting(512, 0)}};
        kvtest::LoadImage(rig.App().Image(), blocks);
        for (const auto& [base, bytes] : blocks)
            for (uint32_t i = 0; i < bytes.size(); ++i) rig.memory[base + i] = bytes[i];
        const auto expected = static_cast<uint8_t>(c.address);  // the counting pattern
        rig.memory[c.address] = expected == 0xFF ? 0x00 : 0xFF;
        EnterRange(rig.Ui(), c.start, c.end);
        EXPECT_FALSE(kv::CReadCmd(rig.App()).Run().Ok());
        const Report r = OnlyMessage(rig.Ui());
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.icon, c.icon);
    }
}

TEST(ReadCheck, PagesTheImageDoesNotHoldMustBeBlank) {
    for (Edition edition : {Edition::Kelvane, Edition::Kelvlite}) {
        MemoryRig rig(edition);  // no program loaded
        EnterRange(rig.Ui(), "0C0000", "0C02FF");
        kv::CReadCmd(rig.App()).Run();
        if (edition == Edition::Kelvane)
            EXPECT_TRUE(rig.Messages().empty());
        else
            EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Read Check OK."});

        MemoryRig dirty(edition);
        dirty.memory[0x0C0200] = 0x00;
        EnterRange(dirty.Ui(), "0C0000", "0C02FF");
        kv::CReadCmd(dirty.App()).Run();
        EXPECT_EQ(dirty.Messages().size(), 1u);
        EXPECT_NE(dirty.Messages()[0].find(edition == Edition::Kelvane ? "0C0200" : "0c0200h"), std::string::npos);
    }
}

TEST(ReadCheck, CancelEndsSilentlyInBothPrograms) {
    for (Edition edition : {Edition::Kelvane, Edition::Kelvlite}) {
        MemoryRig rig(edition);
        EnterRange(rig.Ui(), "0C0000", "0C0FFF");
        rig.Ui().CancelProgressAfter(1);
        kv::CReadCmd(rig.App()).Run();
        EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
        EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::ModelessDestroyed).size(), 1u);
    }
}

TEST(Checks, KelvanePausesTenMillisecondsBetweenPagesKelvliteDoesNot) {
    for (Edition edition : {Edition::Kelvane, Edition::Kelvlite}) {
        for (int which = 0; which < 2; ++which) {
            MemoryRig rig(edition);
            EnterRange(rig.Ui(), "0C0000", "0C01FF");
            if (which == 0)
                kv::CBlankCmd(rig.App()).Run();
            else
                kv::CReadCmd(rig.App()).Run();
            // The page-read frames and when they went out.
            std::vector<uint64_t> times;
            const auto& wire = rig.Dev().Sent();
            for (size_t i = 0; i + 2 < wire.size(); ++i)
                if (wire[i].value == 0xFF && wire[i + 2].value == 0x0C) times.push_back(wire[i].timeMs);
            ASSERT_EQ(times.size(), 2u);
            // The reply takes 1 ms and is followed by the look for a byte too
            // many (two bytes' time at 9600 bps and 1 ms); kelvlite's
            // handshake and routine each add 50 ms.
            const uint64_t gap = times[1] - times[0];
            constexpr uint64_t kQuiet = 3;
            if (edition == Edition::Kelvane)
                EXPECT_EQ(gap, 11u + kQuiet);
            else
                EXPECT_EQ(gap, 1u + kQuiet + 1u + 50u + 1u + 50u);
        }
    }
}

// No page reply, or (kelvlite) no handshake after a page that came: the
// recovery has run, and the check ends without an OK.
TEST(Checks, FailedPageReadEndsWithoutAMessageOfItsOwn) {
    for (Edition edition : {Edition::Kelvane, Edition::Kelvlite}) {
        for (int which = 0; which < 4; ++which) {
            const bool lostHandshake = which >= 2;
            if (lostHandshake && edition == Edition::Kelvane) continue;
            SCOPED_TRACE(which);
            MemoryRig rig(edition);
            if (lostHandshake)
                rig.Loader().handshakeAck = {0x13};
            else
                rig.answerPageReads = false;
            EnterRange(rig.Ui(), "0C0000", "0C03FF");
            // The recovery: OK, then Cancel in "Set baudrate".
            rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDCANCEL);
            if (which % 2 == 0)
                kv::CBlankCmd(rig.App()).Run();
            else
                kv::CReadCmd(rig.App()).Run();
            EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"});
            EXPECT_EQ(rig.Ui().EventsOf(tk::ScriptEvent::Type::ModelessDestroyed).size(), 1u);
        }
    }
}

}  // namespace
