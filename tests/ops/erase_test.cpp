// Erase: the sequence each boot loader and erase mode gets, the report, and
// the read time-out afterwards.
#include <gtest/gtest.h>

#include <algorithm>

#include "ops/erase_cmd.h"
#include "tests/ops/ops_rig.h"

namespace {

using kvtest::FrameSummary;
using kvtest::SimRig;

const char* const kBlocks = "FB 50 75 20:FF0F,D0 70 75 20:BF0F,D0 70 75 20:9F0F,D0 70 75 20:7F0F,D0 70";
const char* const kAll = "FB 50 75 A7:D0 70";

sim::Options Loader(const std::string& version) {
    sim::Options o = SimRig::BootLoader();
    o.version = version;
    return o;
}

TEST(Erase, SequenceFollowsTheLoaderVersionAndTheEraseMode) {
    struct Case {
        std::string version;
        std::optional<std::string> mode;
        const char* frames;
    };
    const Case cases[] = {
        {"VER.2.03", "+a", kBlocks}, {"VER.2.02", "+a", kBlocks}, {"VER.2", "+a", kBlocks},
        {"VER.2.04", "+a", kAll},    {"VER.2.05", "+a", kAll},    {"VER.3.00", "+a", kAll},
        {"VER.2.03", "-a", kAll},    {"VER.2.03", "", kAll},      {"VER.2.03", std::nullopt, kAll},
        {"VER.2.03", "+A", kAll},    {"VER.2.03", "+a ", kAll},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version + " mode " + c.mode.value_or("(none)"));
        SimRig rig(Loader(c.version));
        if (c.mode) rig.Profile().Set("mode_info", "Default_Type", *c.mode);
        rig.chip.Flash().Write(0x0FF000, 0x12);
        EXPECT_TRUE(kv::CEraseCmd(rig.App()).Run().Ok());
        EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()), c.frames);
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Erase OK."});
        EXPECT_EQ(kvtest::MessageBoxes(rig.Ui()).at(0).icon, tk::Icon::Information);
        EXPECT_EQ(rig.chip.Flash().Read(0x0FF000), 0xFF);
        EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    }
}

TEST(Erase, NoVersionReplyCountsAsAnOldLoader) {
    SimRig rig;
    rig.Profile().Set("mode_info", "Default_Type", "+a");
    sim::ReplyFault silent;
    silent.code = 0xFB;
    rig.chip.AddReplyFault(silent);
    EXPECT_TRUE(kv::CEraseCmd(rig.App()).Run().Ok());
    EXPECT_EQ(FrameSummary(rig.Dev().SentBytes()), kBlocks);
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Erase OK."});  // no recovery for the version query
}

TEST(Erase, OldLoaderTestComparesUnsignedBytesUpToAZero) {
    using kv::CEraseCmd;
    EXPECT_TRUE(CEraseCmd::IsOldLoader("VER.2.03"));
    EXPECT_TRUE(CEraseCmd::IsOldLoader("ERROR"));
    EXPECT_TRUE(
        CEraseCmd::IsOldLoader(std::string("VER.2.0\0"
                                           "9",
                                           9)));
    EXPECT_TRUE(CEraseCmd::IsOldLoader(""));
    EXPECT_FALSE(CEraseCmd::IsOldLoader("VER.2.04"));
    EXPECT_FALSE(CEraseCmd::IsOldLoader("VER.2.03 "));
    EXPECT_FALSE(CEraseCmd::IsOldLoader("VER.2.0\xB3"));  // a high byte is above '3', not below
}

TEST(Erase, ErrorReportsAndTheTimeoutIsBack) {
    for (const char* mode : {"+a", "-a"}) {
        SCOPED_TRACE(mode);
        SimRig rig(Loader("VER.2.01"));
        rig.Profile().Set("mode_info", "Default_Type", mode);
        rig.chip.MutableFaults().eraseError = true;
        EXPECT_FALSE(kv::CEraseCmd(rig.App()).Run().Ok());
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Erase error."});
        EXPECT_EQ(kvtest::MessageBoxes(rig.Ui()).at(0).icon, tk::Icon::Stop);
        EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    }
}

// The scripted loader answers the version query and the status reads with
// whatever the test sets.
struct VersionRig : kvtest::LinkRig {
    explicit VersionRig(std::vector<std::pair<uint8_t, uint8_t>> statuses) : statuses_(std::move(statuses)) {
        Dev().SetResponder([this](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& block) {
            if (block == std::vector<uint8_t>{0xFB}) {
                d.Deliver({'V', 'E', 'R', '.', '1', '.', '0', '0'}, d.Clock().Now() + 1);
            } else if (block == std::vector<uint8_t>{0x70}) {
                if (next_ < statuses_.size()) {
                    const auto& [srd, srd1] = statuses_[next_++];
                    d.Deliver({srd, srd1}, d.Clock().Now() + 1);
                }
            } else {
                Loader()(d, block);
            }
        });
        Profile().Set("mode_info", "Default_Type", "+a");
    }
    std::vector<std::pair<uint8_t, uint8_t>> statuses_;
    size_t next_ = 0;
};

TEST(Erase, EveryBlockMustErase) {
    VersionRig allGood({{0x80, 0}, {0x80, 0}, {0x80, 0}, {0x80, 0}});
    EXPECT_TRUE(kv::CEraseCmd(allGood.App()).Run().Ok());
    EXPECT_EQ(allGood.Messages(), std::vector<std::string>{"Erase OK."});
    EXPECT_EQ(FrameSummary(allGood.Dev().SentBytes()), kBlocks);

    // One block that did not erase fails the erase, wherever it is; the
    // blocks after it are not tried.
    VersionRig thirdBad({{0x80, 0}, {0x80, 0}, {0xA0, 0}, {0x80, 0}});
    const kv::Outcome erased = kv::CEraseCmd(thirdBad.App()).Run();
    EXPECT_EQ(erased.kind, kv::OutcomeKind::DeviceError);
    EXPECT_EQ(erased.srd, 0xA0);
    EXPECT_EQ(thirdBad.Messages(), std::vector<std::string>{"Erase error."});
    const auto sent = thirdBad.Dev().SentBytes();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x20), 3);
}

// When each frame of both sequences goes out: 50 ms after every command
// without a reply, the status read after the last of them; the replies take
// 1 ms.
TEST(Erase, PausesFiftyMillisecondsAfterEveryCommandWithoutAReply) {
    struct Case {
        const char* version;
        std::vector<uint64_t> starts;  // ms after the version query, per frame
    };
    const Case cases[] = {
        {"VER.2.05", {0, 1, 51, 101, 151}},
        {"VER.2.03", {0, 1, 51, 101, 151, 152, 202, 252, 253, 303, 353, 354, 404, 454}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        kvtest::LinkRig rig;
        rig.Profile().Set("mode_info", "Default_Type", "+a");
        const std::string version = c.version;
        rig.Dev().SetResponder([&](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& block) {
            if (block == std::vector<uint8_t>{0xFB}) d.Deliver({version.begin(), version.end()}, d.Clock().Now() + 1);
            if (block == std::vector<uint8_t>{0x70}) d.Deliver({0x80, 0x00}, d.Clock().Now() + 1);
        });
        EXPECT_TRUE(kv::CEraseCmd(rig.App()).Run().Ok());
        const auto& wire = rig.Dev().Sent();
        ASSERT_FALSE(wire.empty());
        std::vector<uint64_t> starts;
        size_t at = 0;
        for (const auto& frame : kvtest::Frames(rig.Dev().SentBytes())) {
            starts.push_back(wire[at].timeMs - wire[0].timeMs);
            at += frame.size();
        }
        EXPECT_EQ(starts, c.starts) << FrameSummary(rig.Dev().SentBytes());
    }
}

TEST(Erase, StatusWaitsUseTheLongTimeout) {
    // The status after the erase comes after 30 s: within the 40000 ms wait.
    kvtest::LinkRig rig;
    rig.Dev().SetResponder([&](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& block) {
        if (block == std::vector<uint8_t>{0x70}) d.Deliver({0x80, 0x00}, d.Clock().Now() + 30000);
    });
    EXPECT_TRUE(kv::CEraseCmd(rig.App()).Run().Ok());
    EXPECT_EQ(rig.Messages(), std::vector<std::string>{"Erase OK."});
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
}

TEST(Erase, LostStatusRecoversReportsAnErrorAndRestoresTheTimeout) {
    kvtest::LinkRig rig;
    rig.Loader().status.reset();  // the chip never answers a status read
    rig.Ui().Answer(tk::IDCANCEL, "Timeout.\nPush RESET.\nPort: COM1");
    EXPECT_FALSE(kv::CEraseCmd(rig.App()).Run().Ok());
    EXPECT_EQ(rig.Ui().QuitRequested(), true);
    EXPECT_EQ(rig.Channel().Timeout(), 5000u);
}

TEST(Erase, KelvliteLoadsTheEraseRoutinesAndAsksNoVersion) {
    for (uint8_t srd : {uint8_t{0x80}, uint8_t{0xA0}}) {
        kvtest::LinkRig rig(kv::Edition::Kelvlite);
        rig.Loader().status = std::make_pair(srd, uint8_t{0});
        const int ok = kv::CEraseCmd(rig.App()).Run().Ok() ? 1 : 0;
        // Clear status (slot 6), the three erase pieces (slots 2-4), the
        // status routine (slot 5), the status byte and the handshake.
        const std::vector<uint8_t> expected = {0xEE, 6, 0xEE, 2, 0xEE, 3, 0xEE, 4, 0xEE, 5, 0x70, 0x06};
        EXPECT_EQ(rig.Dev().SentBytes(), expected);
        EXPECT_EQ(ok, srd == 0x80 ? 1 : 0);
        EXPECT_EQ(rig.Messages(), std::vector<std::string>{srd == 0x80 ? "Erase OK." : "Erase error."});
        EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    }
}

// A routine that is not acknowledged has run the recovery: the clean status
// of the chip after it must not read as an erase, so no status is asked.
// In the block-by-block erase a lost status reply ends the erase likewise.
TEST(Erase, LostRoutineOrReplyIsNeverAnEraseOk) {
    struct Case {
        const char* name;
        kv::Edition edition;
        std::vector<uint8_t> unanswered;  // its first use gets no reply
    };
    const Case cases[] = {
        {"clear status routine", kv::Edition::Kelvlite, {0xEE, 6}},
        {"second erase piece", kv::Edition::Kelvlite, {0xEE, 3}},
        {"status of the first block", kv::Edition::Kelvane, {0x70}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kvtest::LinkRig rig(c.edition);
        rig.Profile().Set("mode_info", "Default_Type", "+a");
        bool answered = false;
        rig.Dev().SetResponder([&](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& block) {
            if (block == std::vector<uint8_t>{0xFB}) return;  // no version: an old loader
            if (block == c.unanswered && !answered) {
                answered = true;
                return;
            }
            rig.Loader()(d, block);
        });
        // The recovery: OK, and OK in "Set baudrate".
        rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Press(tk::IDOK);
        EXPECT_FALSE(kv::CEraseCmd(rig.App()).Run().Ok());
        EXPECT_EQ(rig.Messages(), (std::vector<std::string>{"Timeout.\nPush RESET.\nPort: COM1", "Erase error."}));
        const auto sent = rig.Dev().SentBytes();
        if (c.edition == kv::Edition::Kelvlite) {
            const std::vector<uint8_t> lastPiece = {0xEE, 4};  // erase all never completed
            EXPECT_EQ(std::search(sent.begin(), sent.end(), lastPiece.begin(), lastPiece.end()), sent.end());
        } else {
            EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x20), 1);  // no block after the lost one
        }
        EXPECT_EQ(rig.Channel().Timeout(), 5000u);
    }
}

TEST(Erase, EraseAllLeavesTheLongTimeoutForItsCaller) {
    SimRig rig;
    EXPECT_TRUE(kv::CEraseCmd(rig.App()).EraseAll().Ok());
    EXPECT_EQ(rig.Channel().Timeout(), 40000u);
    EXPECT_TRUE(rig.Messages().empty());
}

}  // namespace
