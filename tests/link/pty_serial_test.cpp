// The serial channel in real time over a pseudo-terminal: the test holds the
// master side, the channel opens the slave through the termios device.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "link/serial_comm.h"
#include "platform/clock.h"
#include "platform/serial_device.h"

namespace {

using Ms = std::chrono::milliseconds;

class PtySerial : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        const char* name = ptsname(master_);
        ASSERT_NE(name, nullptr);
        clock_ = plat::MakeSystemClock();
        comm_ = std::make_unique<kv::CSerialComm>(plat::MakeLinuxSerialDevice(), *clock_);
        ASSERT_EQ(comm_->Open(name), 1);
        kv::CSerialCommState state;
        state.m_nBaudRate = 9600;
        state.m_nByteSize = 8;
        ASSERT_EQ(comm_->SetState(state), 1);
        comm_->SetTimeout(300);
    }
    void TearDown() override {
        comm_.reset();
        CloseMaster();
    }
    void Send(std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> v(bytes);
        ASSERT_EQ(write(master_, v.data(), v.size()), static_cast<ssize_t>(v.size()));
    }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }
    static auto Now() { return std::chrono::steady_clock::now(); }

    int master_ = -1;
    std::unique_ptr<plat::IClock> clock_;
    std::unique_ptr<kv::CSerialComm> comm_;
};

TEST_F(PtySerial, ExactCountReadsAndWrites) {
    Send({0x80, 0x0C, 0x42});
    uint8_t buf[2] = {};
    ASSERT_EQ(comm_->Read(buf, 2), 2);
    EXPECT_EQ(buf[0], 0x80);
    EXPECT_EQ(buf[1], 0x0C);
    uint8_t b = 0;
    ASSERT_EQ(comm_->Read(&b, 1), 1);
    EXPECT_EQ(b, 0x42);

    const uint8_t frame[3] = {0xFF, 0x01, 0x0C};
    EXPECT_EQ(comm_->Write(frame, 3), 3);
    uint8_t got[3] = {};
    size_t have = 0;
    for (int i = 0; i < 100 && have < 3; ++i) {
        ssize_t n = read(master_, got + have, 3 - have);
        if (n > 0) have += static_cast<size_t>(n);
    }
    ASSERT_EQ(have, 3u);
    EXPECT_EQ(got[0], 0xFF);
    EXPECT_EQ(got[2], 0x0C);
}

TEST_F(PtySerial, PartialReplyTimesOutStaysQueuedAndIsPurged) {
    Send({0x80});
    uint8_t buf[2] = {0xAA, 0xAA};
    const auto t0 = Now();
    EXPECT_EQ(comm_->Read(buf, 2), 0);
    const auto waited = std::chrono::duration_cast<Ms>(Now() - t0).count();
    EXPECT_TRUE(comm_->TimedOut());
    EXPECT_GE(waited, 300);
    EXPECT_LT(waited, 800);
    EXPECT_EQ(buf[0], 0xAA);

    EXPECT_EQ(comm_->Purge(), 0);
    Send({0x11});
    uint8_t b = 0;
    ASSERT_EQ(comm_->Read(&b, 1), 1);
    EXPECT_EQ(b, 0x11);  // the stale 0x80 is gone
}

TEST_F(PtySerial, ReplyArrivingDuringTheWaitIsTakenPromptly) {
    comm_->SetTimeout(5000);
    std::thread late([this] {
        std::this_thread::sleep_for(Ms(100));
        Send({0xB0});
    });
    uint8_t b = 0;
    const auto t0 = Now();
    EXPECT_EQ(comm_->Read(&b, 1), 1);
    const auto waited = std::chrono::duration_cast<Ms>(Now() - t0).count();
    late.join();
    EXPECT_EQ(b, 0xB0);
    EXPECT_LT(waited, 1000);
}

TEST_F(PtySerial, VanishedDeviceAnswersAtOnce) {
    comm_->SetTimeout(5000);
    CloseMaster();
    uint8_t b = 0;
    const auto t0 = Now();
    EXPECT_EQ(comm_->Read(&b, 1), 0);
    const auto waited = std::chrono::duration_cast<Ms>(Now() - t0).count();
    EXPECT_FALSE(comm_->TimedOut());
    EXPECT_LT(waited, 200);
}

TEST_F(PtySerial, SilentFiveSecondReadCostsLittleCpu) {
    comm_->SetTimeout(5000);
    rusage before{}, after{};
    getrusage(RUSAGE_THREAD, &before);
    uint8_t b = 0;
    EXPECT_EQ(comm_->Read(&b, 1), 0);
    getrusage(RUSAGE_THREAD, &after);
    auto us = [](const timeval& t) { return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec; };
    const long long cpuUs = (us(after.ru_utime) - us(before.ru_utime)) + (us(after.ru_stime) - us(before.ru_stime));
    std::printf("CPU time of a silent 5 s read: %.1f ms\n", static_cast<double>(cpuUs) / 1000.0);
    EXPECT_TRUE(comm_->TimedOut());
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(cpuUs, 50000);
#endif
}

}  // namespace
