// The serial channel in real time against vireo-sim on its pseudo-terminal:
// exact-count reads, a cut reply that times out and stays queued until the
// purge, and a simulator that goes away in the middle of a wait.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/serial_comm.h"
#include "platform/clock.h"
#include "platform/serial_device.h"
#include "tests/e2e/child_process.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Ms = std::chrono::milliseconds;

class ChannelOnSim {
public:
    explicit ChannelOnSim(const std::vector<std::string>& options)
        : sim_(options), clock_(plat::MakeSystemClock()), comm_(plat::MakeLinuxSerialDevice(), *clock_) {}

    bool Open() {
        if (sim_.Port().empty() || comm_.Open(sim_.Port()) != 1) return false;
        kv::CSerialCommState state;
        state.m_nBaudRate = 9600;
        state.m_nByteSize = 8;
        return comm_.SetState(state) == 1;
    }
    // Writes a frame and reads `count` bytes of reply in one read.
    int Exchange(const Bytes& frame, uint8_t* reply, uint32_t count) {
        comm_.Write(frame.data(), static_cast<uint32_t>(frame.size()));
        return comm_.Read(reply, count);
    }
    int Wake() {
        Bytes wake(17, 0x00);
        wake.push_back(0xB0);
        uint8_t echo = 0;
        return Exchange(wake, &echo, 1) == 1 && echo == 0xB0;
    }

    kvtest::SimServer& Sim() { return sim_; }
    kv::CSerialComm& Comm() { return comm_; }

private:
    kvtest::SimServer sim_;
    std::unique_ptr<plat::IClock> clock_;
    kv::CSerialComm comm_;
};

long long MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count();
}

TEST(ChannelOnSim, ExactCountsAndACutReplyThatTimesOut) {
    // The second status read is cut after its first byte.
    ChannelOnSim rig({"--mode", "flash", "--cut-reply", "70:1@2"});
    ASSERT_TRUE(rig.Open());
    rig.Comm().SetTimeout(1000);
    ASSERT_TRUE(rig.Wake());

    uint8_t status[2] = {};
    ASSERT_EQ(rig.Exchange({0x70}, status, 2), 2);
    EXPECT_EQ(status[0], 0x80);
    EXPECT_FALSE(rig.Comm().TimedOut());

    // A page read comes back whole in one read of its exact length.
    uint8_t page[256] = {};
    ASSERT_EQ(rig.Exchange({0xFF, 0x00, 0x0C}, page, 256), 256);
    EXPECT_EQ(page[0], 0xFF);
    EXPECT_EQ(page[255], 0xFF);

    // Cut reply: nothing is returned, the buffer is untouched, the read
    // waited out its time-out.
    uint8_t cut[2] = {0xAA, 0xAA};
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.Exchange({0x70}, cut, 2), 0);
    const long long waited = MsSince(t0);
    EXPECT_TRUE(rig.Comm().TimedOut());
    EXPECT_GE(waited, 1000);
    EXPECT_LT(waited, 2500);
    EXPECT_EQ(cut[0], 0xAA);
    EXPECT_EQ(cut[1], 0xAA);

    // The lone byte stayed queued: a 1-byte read takes it at once.
    uint8_t lone = 0;
    ASSERT_EQ(rig.Comm().Read(&lone, 1), 1);
    EXPECT_EQ(lone, 0x80);
}

TEST(ChannelOnSim, PurgeDropsTheRestOfACutReply) {
    ChannelOnSim rig({"--mode", "flash", "--cut-reply", "FF:10@1"});
    ASSERT_TRUE(rig.Open());
    rig.Comm().SetTimeout(700);
    ASSERT_TRUE(rig.Wake());

    uint8_t page[256] = {};
    EXPECT_EQ(rig.Exchange({0xFF, 0x00, 0x0C}, page, 256), 0);
    EXPECT_TRUE(rig.Comm().TimedOut());

    EXPECT_EQ(rig.Comm().Purge(), 0);
    uint8_t status[2] = {};
    ASSERT_EQ(rig.Exchange({0x70}, status, 2), 2);
    EXPECT_EQ(status[0], 0x80);  // not a stale 0xFF of the cut page
    EXPECT_EQ(status[1], 0x00);
}

TEST(ChannelOnSim, VanishedSimulatorIsALineErrorAtOnce) {
    ChannelOnSim rig({"--mode", "flash"});
    ASSERT_TRUE(rig.Open());
    rig.Comm().SetTimeout(5000);
    ASSERT_TRUE(rig.Wake());
    rig.Sim().Stop();

    uint8_t status[2] = {0xAA, 0xAA};
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.Exchange({0x70}, status, 2), 0);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_FALSE(rig.Comm().TimedOut());
    EXPECT_EQ(status[0], 0xAA);
    EXPECT_EQ(rig.Comm().Close(), 1);
}

}  // namespace
