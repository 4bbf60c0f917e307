// The shared exchanges: the status bit test, the page read and kelvlite's
// routine transfer with its acknowledgements.
#include <gtest/gtest.h>

#include <array>

#include "link/check_memory_cmd.h"
#include "tests/link/link_rig.h"

namespace {

using kv::CCheckMemorryCmd;
using kv::CCommand;
using kv::Edition;
using kvtest::LinkRig;

TEST(CheckStatusError, KindPicksTheBit) {
    struct Case {
        uint8_t srd;
        const char* kind;
        int error;
    };
    const Case cases[] = {
        {0xA0, "erase", 1},
        {0x80, "erase", 0},
        {0xA0, "Erase", 0},
        {0xA1, "Erase", 1},
        {0x90, "program", 1},
        {0xA0, "program", 0},
        {0x90, "Program", 0},
        {0x81, "", 1},
        {0x81, "status", 1},
        {0xFE, "blank", 0},
        // Not ready: never a pass, whatever the error bits say.
        {0x00, "program", 1},
        {0x7F & ~0x10, "program", 1},
        {0x00, "erase", 1},
    };
    for (const auto& c : cases) {
        LinkRig rig;
        rig.Loader().status = std::make_pair(c.srd, uint8_t{0});
        CCommand cmd(rig.App());
        EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), c.kind), c.error) << int(c.srd) << " " << c.kind;
        EXPECT_EQ(rig.Dev().SentBytes(), std::vector<uint8_t>{0x70});
    }
}

TEST(CheckStatusError, StaleInputIsDroppedAndMissingReplyCountsAsError) {
    LinkRig rig;
    // A stray byte already queued (noise, the tail of an earlier reply) is
    // not taken for the status: the chip's program error is seen.
    rig.Loader().status = std::make_pair(uint8_t{0x90}, uint8_t{0x00});
    rig.Dev().DeliverNow({0x80});
    CCommand cmd(rig.App());
    EXPECT_EQ(cmd.CheckStatus(rig.Channel(), "program"), kv::StatusCheck::Error);

    rig.Loader().status.reset();
    rig.Dev().DeliverNow({0x80, 0x00});  // queued before the request: dropped
    rig.Ui().Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
    EXPECT_EQ(cmd.CheckStatus(rig.Channel(), "erase"), kv::StatusCheck::LinkLost);
    EXPECT_TRUE(rig.Ui().QuitRequested());
    EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), "erase"), 1);
}

TEST(CheckStatusError, KelvliteRoutineAndHandshake) {
    LinkRig rig(Edition::Kelvlite);
    rig.Loader().status = std::make_pair(uint8_t{0x90}, uint8_t{0});
    CCommand cmd(rig.App());
    EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), "program"), 1);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xEE, 5, 0x70, 0x06}));
}

TEST(ReadPage, FrameAndData) {
    LinkRig rig;
    rig.Dev().DeliverNow({1, 2, 3});  // stale input is purged first
    CCheckMemorryCmd cmd(rig.App());
    std::array<uint8_t, 256> page{};
    ASSERT_EQ(cmd.ReadPage(rig.Channel(), page.data(), 0x0C34FF), 1);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xFF, 0x34, 0x0C}));
    for (uint8_t b : page) ASSERT_EQ(b, 0x5A);
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
}

TEST(ReadPage, PageReadTimeoutFromTheSettingsFile) {
    struct Case {
        const char* pageread;  // null: no key
        uint64_t waited;       // until the read gave up
    };
    for (const Case& c : {Case{"3000", 3001}, Case{nullptr, 5001}, Case{"150", 151}}) {
        LinkRig rig;
        rig.Loader().pageFill.reset();
        if (c.pageread) rig.Profile().Set("timeout", "pageread", c.pageread);
        CCheckMemorryCmd cmd(rig.App());
        std::array<uint8_t, 256> page{};
        page.fill(0x77);
        rig.Ui().Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
        const uint64_t t0 = rig.Clock().Now();
        EXPECT_EQ(cmd.ReadPage(rig.Channel(), page.data(), 0), 0);
        EXPECT_GE(rig.Clock().Now() - t0, c.waited);
        EXPECT_LE(rig.Clock().Now() - t0, c.waited + 6);
        EXPECT_EQ(page[0], 0x77);
        EXPECT_EQ(rig.Channel().Timeout(), 5000u);  // set back
    }
}

TEST(ReadPage, CutReplyCountsAsNoReply) {
    LinkRig rig;
    rig.Loader().pageBytes = 255;
    CCheckMemorryCmd cmd(rig.App());
    std::array<uint8_t, 256> page{};
    rig.Ui().Answer(tk::IDCANCEL);
    EXPECT_EQ(cmd.ReadPage(rig.Channel(), page.data(), 0x0C0000), 0);
    EXPECT_EQ(rig.Ui().MessageTexts(), std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1"});
}

TEST(ReadPage, KelvliteRoutineThenFrameThenHandshake) {
    LinkRig rig(Edition::Kelvlite);
    CCheckMemorryCmd cmd(rig.App());
    std::array<uint8_t, 256> page{};
    ASSERT_EQ(cmd.ReadPage(rig.Channel(), page.data(), 0x0F0100), 1);
    EXPECT_EQ(rig.Dev().SentBytes(), (std::vector<uint8_t>{0xEE, 0, 0xFF, 0x01, 0x0F, 0x06}));
}

TEST(LoadRoutine, SlotsAndCodesWithoutRoutine) {
    struct Case {
        uint8_t code;
        std::vector<uint8_t> sent;
    };
    const Case cases[] = {
        {0xFF, {0xEE, 0}},
        {0x41, {0xEE, 1}},
        {0x70, {0xEE, 5}},
        {0x50, {0xEE, 6}},
        {0x71, {0xEE, 7}},
        {0xF5, {0xEE, 8}},
        {0xFB, {0xEE, 9}},
        {0xB0, {0xEE, 10}},
        {0xB3, {0xEE, 13}},
        {0x08, {}},
        {0xB4, {}},
        {0x20, {}},
        {0xA7, {0xEE, 2, 0xEE, 3, 0xEE, 4}},
        {0x06, {0x06}},
    };
    for (const auto& c : cases) {
        LinkRig rig(Edition::Kelvlite);
        const uint64_t t0 = rig.Clock().Now();
        EXPECT_EQ(rig.App().LoadRoutine(c.code), 1) << int(c.code);
        EXPECT_EQ(rig.Dev().SentBytes(), c.sent) << int(c.code);
        if (c.sent.empty()) {
            EXPECT_EQ(rig.Clock().Now(), t0);
        }
        EXPECT_EQ(rig.Dev().QueuedNow(), 0u);
    }
}

TEST(LoadRoutine, PausesFiftyMsAfterEachAcknowledgement) {
    LinkRig rig(Edition::Kelvlite);
    rig.Loader().delayMs = 3;
    ASSERT_EQ(rig.App().LoadRoutine(0xA7), 1);
    const auto& wire = rig.Dev().Sent();
    ASSERT_EQ(wire.size(), 6u);
    EXPECT_EQ(wire[2].timeMs - wire[0].timeMs, 53u);
    EXPECT_EQ(wire[4].timeMs - wire[2].timeMs, 53u);
}

TEST(LoadRoutine, WrongOrMissingAcknowledgementRecovers) {
    struct Case {
        std::vector<uint8_t> ack;
        const char* message;
    };
    const Case cases[] = {
        {{0x13, 0x07, 0x11}, "Communication error.\nPush RESET.\nPort: COM1"},
        {{0x12, 0x06, 0x11}, "Communication error.\nPush RESET.\nPort: COM1"},
        {{0x13, 0x06}, "Timeout.\nPush RESET.\nPort: COM1"},
    };
    for (const auto& c : cases) {
        LinkRig rig(Edition::Kelvlite);
        rig.Loader().routineAck = c.ack;
        rig.Ui().Answer(tk::IDCANCEL, c.message);
        EXPECT_EQ(rig.App().LoadRoutine(0xFB), 0);
        EXPECT_EQ(rig.Ui().MessageTexts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(LoadRoutine, HandshakeNeedsBothBytes) {
    LinkRig rig(Edition::Kelvlite);
    rig.Loader().handshakeAck = {0x13, 0x06};
    rig.Ui().Answer(tk::IDCANCEL, "Communication error.\nPush RESET.\nPort: COM1");
    EXPECT_EQ(rig.App().LoadRoutine(0x06), 0);
    EXPECT_TRUE(rig.Ui().QuitRequested());
}

TEST(LoadRoutine, KelvaneSendsNothing) {
    LinkRig rig;
    EXPECT_EQ(rig.App().LoadRoutine(0x70), 1);
    EXPECT_EQ(rig.App().LoadRoutine(0x06), 1);
    EXPECT_TRUE(rig.Dev().SentBytes().empty());
}

TEST(ApplyIdCheckState, Bits3To2) {
    LinkRig rig;
    const std::tuple<uint8_t, int, int> cases[] = {{0x00, 1, 0}, {0x04, 1, 0}, {0x0C, 0, 1},
                                                   {0x08, 0, 0}, {0x08, 1, 1}, {0xF3, 1, 0}};
    for (auto [srd1, before, after] : cases) {
        rig.App().idVerified = before;
        rig.App().ApplyIdCheckState(srd1);
        EXPECT_EQ(rig.App().idVerified, after) << int(srd1);
    }
}

}  // namespace
