// The chip behind the fake serial device, on virtual time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/sim/chip_test_support.h"
#include "tests/support/sim_peer.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Wire {
    explicit Wire(sim::Options o) : device(clock), chip(std::move(o)), peer(device, chip) { device.Open("COM1"); }
    void Write(const Bytes& b) { device.Write(b.data(), b.size()); }
    // Reads `count` bytes like the channel does: wait, then take what is queued.
    Bytes Read(size_t count, uint32_t timeoutMs) {
        Bytes got;
        uint64_t end = clock.Now() + timeoutMs;
        while (got.size() < count && clock.Now() < end) {
            device.WaitForInput(static_cast<uint32_t>(got.size()), static_cast<uint32_t>(end - clock.Now()));
            uint8_t buf[512];
            size_t n = device.ReadQueued(buf, std::min(sizeof buf, count - got.size()));
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    kvtest::VirtualClock clock;
    kvtest::FakeSerialDevice device;
    sim::Chip chip;
    kvtest::SimPeer peer;
};

TEST(SimPeer, WakeUpAndBaudSwitchOnVirtualTime) {
    Wire w(sim::Options{});
    for (int i = 0; i < 17; ++i) {
        w.Write({0x00});
        w.clock.Advance(20);
    }
    uint64_t sent = w.clock.Now();
    w.Write({0xB0});
    EXPECT_EQ(w.Read(1, 5000), Bytes{0xB0});
    EXPECT_EQ(w.clock.Now(), sent + 3) << "1.04 ms each way at 9600 bps, rounded up";

    w.Write({0xB1});
    EXPECT_EQ(w.Read(1, 5000), Bytes{0xB1});
    w.Write({0x70});
    EXPECT_TRUE(w.Read(2, 500).empty()) << "the port is still at 9600";
    w.device.SetLine({19200, 8, 0, 0});
    w.Write({0xB1});
    EXPECT_EQ(w.Read(1, 5000), Bytes{0xB1});
    w.Write({0x70});
    EXPECT_EQ(w.Read(2, 5000), (Bytes{0x80, 0x00}));
}

TEST(SimPeer, StalledDownloadAnswersWhileTheHostWaits) {
    sim::Options o;
    o.mode = sim::Mode::Bootloader;
    Wire w(o);
    Bytes wake(17, 0x00);
    wake.push_back(0xB0);
    w.Write(wake);
    ASSERT_EQ(w.Read(1, 5000), Bytes{0xB0});
    Bytes frame{0xFA, 0x00, 0x02, 0x00};
    frame.resize(4 + 256, 0x00);
    w.Write(frame);
    uint64_t sent = w.clock.Now();
    Bytes result = w.Read(2, 5000);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[1], 0x01);
    EXPECT_LT(w.clock.Now(), sent + 2400) << "the answer came at the chip's deadline, not the host's";
    EXPECT_EQ(w.peer.Answered().size(), 3u);
}

}  // namespace

namespace {

TEST(SimPeer, SequencerWithTheProjectFirmware) {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    sim::Options o;
    o.mode = sim::Mode::Lite;
    bool opened = false;
    ASSERT_TRUE(kv::LoadSequencerFirmware(std::string(dir ? dir : ".") + "/firm.mot", o.firmware, opened));
    Wire w(o);
    Bytes wake(16, 0x00);
    wake.push_back(0xB0);
    w.Write(wake);
    EXPECT_EQ(w.Read(2, 5000), (Bytes{0xB0, 0x11}));

    // Status read as kelvlite does it: routine, acknowledgement, command, reply, handshake.
    const auto& slot = o.firmware.slots[5];
    uint64_t sent = w.clock.Now();
    w.Write(Bytes(slot.bytes.begin(), slot.bytes.begin() + slot.length));
    EXPECT_EQ(w.Read(3, 5000), (Bytes{0x13, 0x06, 0x11}));
    EXPECT_GE(w.clock.Now(), sent + (slot.length + 3) * 1042 / 1000) << "the block takes its time on the wire";
    w.Write({0x70});
    EXPECT_EQ(w.Read(2, 5000), (Bytes{0x80, 0x00}));
    w.Write({0x06});
    EXPECT_EQ(w.Read(2, 5000), (Bytes{0x13, 0x11}));
}

}  // namespace
