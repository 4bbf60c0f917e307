// Waking the boot loader: the start-up synchronisation of both programs and
// the recovery's wake-up, byte for byte and pause for pause.
#include <gtest/gtest.h>

#include "tests/link/link_rig.h"

namespace {

using kv::Edition;
using kvtest::LinkRig;

std::vector<uint8_t> KelvaneSequence(uint8_t first) {
    std::vector<uint8_t> s(18, 0x00);  // filled, not inserted: GCC 12 misreads the insert at -O3
    s.front() = first;
    s.back() = 0xB0;
    return s;
}

// Gaps in ms between consecutive written bytes.
std::vector<uint64_t> Gaps(const std::vector<kvtest::WireByte>& wire) {
    std::vector<uint64_t> g;
    for (size_t i = 1; i < wire.size(); ++i) g.push_back(wire[i].timeMs - wire[i - 1].timeMs);
    return g;
}

TEST(Synchronise, KelvaneFirstByteFollowsFirstData) {
    for (const char* firstData : {"+Z", "-Z", "", "+z"}) {
        LinkRig rig;
        if (*firstData) rig.Profile().Set("mode_info", "First_data", firstData);
        const uint64_t t0 = rig.Clock().Now();
        ASSERT_EQ(rig.App().Synchronise(), 1) << firstData;
        const uint8_t first = std::string(firstData) == "+Z" ? 0xB0 : 0x00;
        EXPECT_EQ(rig.Dev().SentBytes(), KelvaneSequence(first)) << firstData;

        const auto wire = rig.Dev().Sent();
        ASSERT_EQ(wire.size(), 18u);
        EXPECT_EQ(wire[0].timeMs, t0 + 50);
        std::vector<uint64_t> expected = {50};
        expected.insert(expected.end(), 15, 20);
        expected.push_back(20 + 50);  // last filler's pause, then the settle pause
        EXPECT_EQ(Gaps(wire), expected);
        for (const auto& w : wire) EXPECT_EQ(w.baud, 9600u);
        EXPECT_EQ(rig.Ui().Traces(), std::vector<std::string>{std::string("Z_TYPE = ") + firstData + "\n"});
    }
}

TEST(Synchronise, KelvaneDropsStaleInputBeforeTheSequence) {
    LinkRig rig;
    rig.Loader().echoCodes = false;
    rig.Dev().DeliverNow({0xB0});  // stale: must not be taken for the answer
    EXPECT_EQ(rig.App().Synchronise(), 0);
    EXPECT_TRUE(rig.Channel().TimedOut());
}

TEST(Synchronise, KelvaneWrongOrMissingAnswer) {
    LinkRig rig;
    rig.Loader().wrongEcho[0xB0] = 0xB1;
    EXPECT_EQ(rig.App().Synchronise(), 0);
    EXPECT_FALSE(rig.Channel().TimedOut());

    LinkRig silent;
    silent.Loader().echoCodes = false;
    EXPECT_EQ(silent.App().Synchronise(), 0);
    EXPECT_TRUE(silent.Channel().TimedOut());
    EXPECT_TRUE(silent.Messages().empty());  // the caller recovers
}

TEST(Synchronise, KelvliteSequenceAndBothReplyBytes) {
    LinkRig rig(Edition::Kelvlite);
    rig.Profile().Set("mode_info", "First_data", "+Z");  // kelvlite ignores it
    ASSERT_EQ(rig.App().Synchronise(), 1);
    std::vector<uint8_t> expected(16, 0x00);
    expected.push_back(0xB0);
    EXPECT_EQ(rig.Dev().SentBytes(), expected);
    std::vector<uint64_t> gaps = {50};
    gaps.insert(gaps.end(), 14, 20);
    gaps.push_back(70);
    EXPECT_EQ(Gaps(rig.Dev().Sent()), gaps);
    EXPECT_TRUE(rig.Ui().Traces().empty());
}

TEST(Synchronise, KelvliteNeedsTheSequencerReadyByte) {
    LinkRig rig(Edition::Kelvlite);
    rig.Dev().SetResponder([](kvtest::FakeSerialDevice& d, const std::vector<uint8_t>& b) {
        if (b == std::vector<uint8_t>{0xB0}) d.DeliverNow({0xB0, 0x12});
    });
    EXPECT_EQ(rig.App().Synchronise(), 0);

    LinkRig halves(Edition::Kelvlite);
    halves.App().SendSyncSequence();
    EXPECT_EQ(halves.App().ExpectByte(0xB0), 1);
    EXPECT_EQ(halves.App().ExpectByte(0x11), 1);
}

TEST(WakeBootLoader, KelvaneAndKelvliteReadNothing) {
    LinkRig rig;
    rig.Profile().Set("mode_info", "First_data", "+Z");
    rig.App().WakeBootLoader();
    EXPECT_EQ(rig.Dev().SentBytes(), KelvaneSequence(0xB0));
    EXPECT_EQ(rig.Dev().QueuedNow(), 2u);  // the answers stay for the next purge

    LinkRig lite(Edition::Kelvlite);
    lite.App().WakeBootLoader();
    std::vector<uint8_t> expected = {0xB0};
    expected.insert(expected.end(), 15, 0x00);
    EXPECT_EQ(lite.Dev().SentBytes(), expected);
    std::vector<uint64_t> gaps = {50};
    gaps.insert(gaps.end(), 14, 15);
    EXPECT_EQ(Gaps(lite.Dev().Sent()), gaps);
}

}  // namespace
