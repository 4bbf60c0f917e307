// The serial channel on virtual time: exact-count reads, time-outs measured
// from the start of a read, line errors, the closed channel and the watcher.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/serial_comm.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/virtual_clock.h"

namespace {

using kv::CSerialComm;
using kv::CSerialCommState;

struct Channel {
    explicit Channel(uint64_t startMs = 1000) : clock(startMs) {
        auto d = std::make_unique<kvtest::FakeSerialDevice>(clock);
        dev = d.get();
        comm = std::make_unique<CSerialComm>(std::move(d), clock);
    }
    kvtest::VirtualClock clock;
    kvtest::FakeSerialDevice* dev = nullptr;
    std::unique_ptr<CSerialComm> comm;
};

struct OpenChannel : Channel {
    explicit OpenChannel(uint64_t startMs = 1000) : Channel(startMs) {
        EXPECT_EQ(comm->Open("COM1"), 1);
        comm->SetTimeout(100);
    }
};

TEST(SerialComm, ReadTakesExactlyTheCountAndLeavesTheRestQueued) {
    OpenChannel c;
    c.dev->DeliverNow({0x11, 0x22, 0x33});
    uint8_t buf[2] = {};
    ASSERT_EQ(c.comm->Read(buf, 2), 2);
    EXPECT_EQ(buf[0], 0x11);
    EXPECT_EQ(buf[1], 0x22);
    EXPECT_EQ(c.dev->QueuedNow(), 1u);
    uint8_t one = 0;
    ASSERT_EQ(c.comm->Read(&one, 1), 1);
    EXPECT_EQ(one, 0x33);
    EXPECT_FALSE(c.comm->TimedOut());
}

TEST(SerialComm, ReadWaitsForBytesThatArriveWithinTheTimeout) {
    OpenChannel c;
    c.dev->Deliver({0xB0}, c.clock.Now() + 60);
    uint8_t b = 0;
    ASSERT_EQ(c.comm->Read(&b, 1), 1);
    EXPECT_EQ(b, 0xB0);
    EXPECT_EQ(c.clock.Now(), 1060u);  // answered as the byte came, not at a slice end
}

TEST(SerialComm, ShortReplyTimesOutAndLeavesTheBufferAsItWas) {
    OpenChannel c;
    c.dev->Deliver({0x80}, c.clock.Now() + 10);
    uint8_t buf[2] = {0xAA, 0xAA};
    EXPECT_EQ(c.comm->Read(buf, 2), 0);
    EXPECT_TRUE(c.comm->TimedOut());
    EXPECT_EQ(buf[0], 0xAA);
    EXPECT_EQ(buf[1], 0xAA);
    // Gives up once the time-out has fully passed, and not much later.
    EXPECT_GT(c.clock.Now(), 1100u);
    EXPECT_LE(c.clock.Now(), 1106u);
    // The read took the partial reply in; nothing stale is left for the next exchange.
    EXPECT_EQ(c.dev->QueuedNow(), 0u);
    EXPECT_EQ(c.comm->Purge(), 0);
    EXPECT_EQ(c.dev->QueuedNow(), 0u);
    // The next read starts afresh.
    c.dev->DeliverNow({0x01});
    uint8_t b = 0;
    EXPECT_EQ(c.comm->Read(&b, 1), 1);
    EXPECT_FALSE(c.comm->TimedOut());
}

TEST(SerialComm, TimeoutIsMeasuredAcrossTheTickWrapAround) {
    // The 32-bit tick wraps 30 ms into the read.
    for (uint64_t start : {0xFFFFFFFFull - 30, 0xFFFFFFFFull, 0x1FFFFFFFFull - 99}) {
        OpenChannel c(start);
        uint8_t b = 0;
        EXPECT_EQ(c.comm->Read(&b, 1), 0) << start;
        EXPECT_TRUE(c.comm->TimedOut());
        EXPECT_GT(c.clock.Now() - start, 100u);
        EXPECT_LE(c.clock.Now() - start, 106u);

        c.dev->Deliver({0x42}, c.clock.Now() + 80);
        EXPECT_EQ(c.comm->Read(&b, 1), 1);
        EXPECT_EQ(b, 0x42);
    }
}

TEST(SerialComm, TimeoutZeroWaitsUntilTheBytesArrive) {
    OpenChannel c;
    c.comm->SetTimeout(0);
    EXPECT_EQ(c.comm->Timeout(), 0u);
    c.dev->Deliver({1, 2}, c.clock.Now() + 600000);
    uint8_t buf[2] = {};
    ASSERT_EQ(c.comm->Read(buf, 2), 2);
    EXPECT_EQ(c.clock.Now(), 601000u);
    EXPECT_FALSE(c.comm->TimedOut());
}

TEST(SerialComm, LineErrorAnswersAtOnceWithoutTimeout) {
    OpenChannel c;
    c.dev->Deliver({0x80, 0x00}, c.clock.Now());
    c.dev->InjectLineError();
    uint8_t buf[2] = {0xAA, 0xAA};
    EXPECT_EQ(c.comm->Read(buf, 2), 0);
    EXPECT_FALSE(c.comm->TimedOut());
    EXPECT_EQ(c.clock.Now(), 1000u);
    EXPECT_EQ(buf[0], 0xAA);

    // After a time-out, the next read's line error clears the flag again.
    c.dev->PurgeInput();
    EXPECT_EQ(c.comm->Read(buf, 1), 0);
    EXPECT_TRUE(c.comm->TimedOut());
    c.dev->InjectLineError();
    EXPECT_EQ(c.comm->Read(buf, 1), 0);
    EXPECT_FALSE(c.comm->TimedOut());
}

TEST(SerialComm, UnpluggedDeviceFailsAtOnce) {
    OpenChannel c;
    c.dev->Unplug();
    uint8_t b = 0x5A;
    EXPECT_EQ(c.comm->Write(&b, 1), 0);
    EXPECT_EQ(c.comm->Read(&b, 1), 0);
    EXPECT_FALSE(c.comm->TimedOut());
    EXPECT_EQ(c.clock.Now(), 1000u);
}

TEST(SerialComm, ClosedChannel) {
    Channel c;
    EXPECT_EQ(c.comm->IsOpen(), 0);
    EXPECT_EQ(c.comm->Close(), 1);
    CSerialCommState st;
    st.m_nBaudRate = 9600;
    st.m_nByteSize = 8;
    st.m_nParity = 2;
    st.m_nStopBits = 1;
    EXPECT_EQ(c.comm->GetState(st), 0);
    EXPECT_EQ(st.m_nBaudRate, 0u);
    EXPECT_EQ(st.m_nByteSize, 0);
    EXPECT_EQ(st.m_nParity, 0);
    EXPECT_EQ(st.m_nStopBits, 0);
    EXPECT_EQ(c.comm->SetState(st), 0);
    EXPECT_EQ(c.comm->Purge(), 0);
    EXPECT_EQ(c.comm->SetTimeout(5000), 1);
    EXPECT_EQ(c.comm->Timeout(), 5000u);
    uint8_t b = 0;
    EXPECT_EQ(c.comm->Write(&b, 1), 0);
    EXPECT_EQ(c.comm->Read(&b, 1), 0);
    EXPECT_FALSE(c.comm->TimedOut());
}

TEST(SerialComm, OpenAndClose) {
    Channel c;
    c.dev->FailOpen(true);
    EXPECT_EQ(c.comm->Open("COM3"), 0);
    EXPECT_EQ(c.comm->IsOpen(), 0);
    EXPECT_EQ(c.comm->PortName(), "");
    c.dev->FailOpen(false);
    EXPECT_EQ(c.comm->Open("COM3"), 1);
    EXPECT_EQ(c.comm->PortName(), "COM3");
    EXPECT_EQ(c.dev->OpenedName(), "COM3");
    // A second open does not replace the port that is open.
    EXPECT_EQ(c.comm->Open("COM4"), 0);
    EXPECT_EQ(c.comm->PortName(), "COM3");
    EXPECT_EQ(c.comm->Close(), 1);
    EXPECT_EQ(c.comm->IsOpen(), 0);
    EXPECT_EQ(c.comm->PortName(), "");
}

TEST(SerialComm, LineSettingsRoundTripAndRefusal) {
    OpenChannel c;
    CSerialCommState st;
    st.m_nBaudRate = 38400;
    st.m_nByteSize = 7;
    st.m_nParity = 2;
    st.m_nStopBits = 2;
    EXPECT_EQ(c.comm->SetState(st), 1);
    EXPECT_EQ(c.dev->Line().baud, 38400u);
    CSerialCommState back;
    EXPECT_EQ(c.comm->GetState(back), 1);
    EXPECT_EQ(back.m_nBaudRate, 38400u);
    EXPECT_EQ(back.m_nByteSize, 7);
    EXPECT_EQ(back.m_nParity, 2);
    EXPECT_EQ(back.m_nStopBits, 2);

    c.dev->FailSetLine(true);
    st.m_nBaudRate = 57600;
    EXPECT_EQ(c.comm->SetState(st), 0);
    EXPECT_EQ(c.dev->Line().baud, 38400u);

    kv::CIoState notSerial;
    EXPECT_EQ(c.comm->SetState(notSerial), 0);
    EXPECT_EQ(c.comm->GetState(notSerial), 0);
}

// The watcher runs on its own thread; while it runs the test thread leaves
// the fake device and the virtual clock alone.
struct WatchLog {
    std::atomic<int> calls{0};
    std::atomic<uint32_t> flags{0xFFFF};
};

void Record(void* user, uint32_t flags) {
    auto* log = static_cast<WatchLog*>(user);
    log->flags = flags;
    ++log->calls;
}

bool WaitFor(const std::atomic<int>& counter, int atLeast) {
    for (int i = 0; i < 2000 && counter.load() < atLeast; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return counter.load() >= atLeast;
}

TEST(SerialComm, WatcherCallsTheHandlerUntilStoppedAndRefusesASecondStart) {
    OpenChannel c;
    c.dev->DeliverNow({1, 2, 3});
    WatchLog log;
    ASSERT_EQ(c.comm->StartWatch(&Record, &log, 3), 1);
    EXPECT_EQ(c.comm->StartWatch(&Record, &log, 1), 0);
    // The handler leaves the bytes queued, so it hears about them again.
    EXPECT_TRUE(WaitFor(log.calls, 2));
    EXPECT_EQ(c.comm->StopWatch(), 1);
    EXPECT_EQ(log.flags.load(), 0u);
    const int after = log.calls.load();
    EXPECT_EQ(c.comm->StopWatch(), 1);
    EXPECT_EQ(log.calls.load(), after);
    EXPECT_EQ(c.dev->QueuedNow(), 3u);  // the watcher never reads
}

TEST(SerialComm, WatcherReportsLineErrorsAndBelowThresholdIsQuiet) {
    OpenChannel c;
    c.dev->DeliverNow({1});
    c.dev->InjectLineError();
    WatchLog log;
    ASSERT_EQ(c.comm->StartWatch(&Record, &log, 2), 1);
    EXPECT_TRUE(WaitFor(log.calls, 1));
    EXPECT_EQ(c.comm->StopWatch(), 1);
    EXPECT_EQ(log.calls.load(), 1);  // one byte is below the threshold
    EXPECT_EQ(log.flags.load(), kv::kCommLineError);
}

class CountingComm : public CSerialComm {
public:
    using CSerialComm::CSerialComm;
    void OnCommEvent(void*, uint32_t) override { ++events; }
    std::atomic<int> events{0};
};

TEST(SerialComm, WatcherWithoutCallbackUsesOnCommEvent) {
    kvtest::VirtualClock clock;
    auto d = std::make_unique<kvtest::FakeSerialDevice>(clock);
    auto* dev = d.get();
    CountingComm comm(std::move(d), clock);
    ASSERT_EQ(comm.Open("COM1"), 1);
    dev->DeliverNow({9});
    ASSERT_EQ(comm.StartWatch(nullptr, nullptr, 1), 1);
    EXPECT_TRUE(WaitFor(comm.events, 1));
    EXPECT_EQ(comm.StopWatch(), 1);
}

TEST(SerialComm, DestroyingARunningWatcherStopsIt) {
    OpenChannel c;
    WatchLog log;
    ASSERT_EQ(c.comm->StartWatch(&Record, &log, 1), 1);
    c.comm.reset();  // must join, not terminate
    SUCCEED();
}

}  // namespace
