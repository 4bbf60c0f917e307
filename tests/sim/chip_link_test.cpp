// Synchronisation, baud-rate codes, byte timing and the sequencer's routines.
#include <gtest/gtest.h>

#include "tests/sim/chip_test_support.h"

using namespace simtest;
using sim::Mode;
using Bytes = std::vector<uint8_t>;

TEST(ChipSync, BothFirstBytesWakeTheBootLoader) {
    for (uint8_t first : {uint8_t{0x00}, uint8_t{0xB0}}) {
        Bench b(Untimed());
        EXPECT_TRUE(b.Status().empty()) << "asleep: a status read is not understood";
        Bytes seq{first};
        seq.insert(seq.end(), 16, 0x00);
        seq.push_back(0xB0);
        EXPECT_EQ(b.Send(seq), Bytes{0xB0});
        EXPECT_TRUE(b.chip.Synchronised());
        EXPECT_EQ(b.Status().size(), 2u);
    }
}

TEST(ChipSync, FewZerosOrJunkBeforeB0DoNotWake) {
    Bench b(Untimed());
    EXPECT_TRUE(b.Send({0, 0, 0, 0xB0}).empty());
    Bytes junk(16, 0x00);
    junk.push_back(0x55);
    junk.push_back(0xB0);
    EXPECT_TRUE(b.Send(junk).empty());
    EXPECT_FALSE(b.chip.Synchronised());
}

TEST(ChipSync, SequencerAnswersB0Then11) {
    Bench b(Untimed(Mode::Lite));
    Bytes seq(16, 0x00);
    seq.push_back(0xB0);
    EXPECT_EQ(b.Send(seq), (Bytes{0xB0, 0x11}));
}

TEST(ChipSync, SequencerWokenByZerosAloneTakesTheNextRoutine) {
    // The recovery sends 0xB0 and fifteen 0x00, then the zero-ID frame without
    // its routine, and later a routine.
    for (bool idFrame : {false, true}) {
        Bench b(Untimed(Mode::Lite));
        Bytes seq{0xB0};
        seq.insert(seq.end(), 15, 0x00);
        EXPECT_TRUE(b.Send(seq).empty());
        if (idFrame) {
            b.nowUs += 50000;
            Bytes zeroId{0xF5, 0x00, 0x00, 0x00, 0x07};
            zeroId.insert(zeroId.end(), 7, 0x00);
            EXPECT_TRUE(b.Send(zeroId).empty());
            b.nowUs += 50000;
        }
        EXPECT_EQ(b.Send(Routine(b.chip.Settings().firmware, 10)), (Bytes{0x13, 0x06, 0x11})) << idFrame;
        EXPECT_EQ(b.Send({0xB0}), Bytes{0xB0});
    }
}

// A second session wakes the sequencer with kelvlite's start-up run, paced
// as kelvlite paces it, whatever state the first session left it in.
TEST(ChipSync, SequencerStartUpRunWakesItInAnyState) {
    const kv::RoutineTable fw = SmallFirmware();
    auto with = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    Bytes halfPage = PageFrame(0x41, 0x0C0000, 0x00);
    halfPage.resize(100);
    Bytes halfRoutine = Routine(fw, 5);
    halfRoutine.resize(3);
    const std::pair<const char*, Bytes> cases[] = {
        {"idle", {}},
        {"a routine waiting for its command", Routine(fw, 5)},
        {"half a routine", halfRoutine},
        {"half a page frame of zeros", with(Routine(fw, 1), halfPage)},
    };
    for (const auto& [left, bytes] : cases) {
        SCOPED_TRACE(left);
        Bench b(Untimed(Mode::Lite));
        b.Send(with(Bytes(16, 0x00), {0xB0}));  // the first session
        ASSERT_TRUE(b.chip.Synchronised());
        b.Send(bytes);
        Bytes answer;
        auto send = [&](uint8_t v, uint64_t pauseUs) {
            const Bytes got = b.Send({v});
            answer.insert(answer.end(), got.begin(), got.end());
            b.nowUs += pauseUs;
        };
        b.nowUs += 50000;
        send(0x00, 50000);
        for (int i = 0; i < 15; ++i) send(0x00, 20000);
        b.nowUs += 50000;
        send(0xB0, 50000);
        EXPECT_EQ(answer, (Bytes{0xB0, 0x11}));
        EXPECT_EQ(b.Send(Routine(fw, 5)), (Bytes{0x13, 0x06, 0x11}));
        EXPECT_EQ(b.Send({0x70}).size(), 2u);
    }
}

TEST(ChipBaud, SwitchEchoesAndIgnoresBytesAtTheWrongRate) {
    Bench b(Untimed());
    b.Wake();
    EXPECT_EQ(b.Send({0xB0}), Bytes{0xB0});
    EXPECT_EQ(b.Send({0xB2}), Bytes{0xB2});
    EXPECT_EQ(b.chip.Baud(), 38400u);
    EXPECT_TRUE(b.Send({0x70}, 9600).empty()) << "the host is still at 9600";
    EXPECT_FALSE(b.chip.Transcript().back().understood);
    EXPECT_EQ(b.Send({0xB2}, 38400), Bytes{0xB2});
    EXPECT_EQ(b.Send({0x70}, 38400).size(), 2u);
    EXPECT_EQ(b.Send({0xB0}, 38400), Bytes{0xB0});
    EXPECT_EQ(b.Send({0x70}, 9600).size(), 2u);
}

TEST(ChipTiming, ReplyArrivesAfterFrameAndOwnWireTime) {
    sim::Options o = Untimed();
    o.wireTiming = true;
    Bench b(o);
    b.Wake();
    b.nowUs = 5000000;
    auto out = b.chip.Feed({0x70}, 9600, b.nowUs);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].dueUs, b.nowUs + 2 * 1042);
    EXPECT_EQ(out[1].dueUs, b.nowUs + 3 * 1042);
    // A page read at 9600: 3 bytes in, 256 out.
    b.nowUs = 6000000;
    out = b.chip.Feed({0xFF, 0x00, 0x0C}, 9600, b.nowUs);
    ASSERT_EQ(out.size(), 256u);
    EXPECT_EQ(out.back().dueUs, b.nowUs + 3 * 1042 + 256 * 1042);
}

TEST(ChipTiming, BusyDelaysTheStatusReply) {
    sim::Options o = Untimed(Mode::Bootloader);
    o.eraseBusyUs = 100000;
    o.programBusyUs = 2000;
    Bench b(o);
    b.Wake();
    b.Send({0xA7, 0xD0});
    b.Status();
    EXPECT_EQ(b.last[0].dueUs, b.nowUs + 100000);
    EXPECT_EQ(b.last[0].value & 0x80, 0x80);
    b.nowUs += 200000;
    b.Send(PageFrame(0x41, 0x0C0000, 0x00));
    b.Status();
    EXPECT_EQ(b.last[0].dueUs, b.nowUs + 2000);

    // Answering while busy: at once with bit 7 clear, then ready once done.
    o.busyStatusAnswers = true;
    Bench answering(o);
    answering.Wake();
    answering.Send({0xA7, 0xD0});
    answering.Status();
    EXPECT_EQ(answering.last[0].dueUs, answering.nowUs);
    EXPECT_EQ(answering.last[0].value & 0x80, 0x00) << "busy";
    answering.nowUs += 100000;
    answering.Status();
    EXPECT_EQ(answering.last[0].value & 0x80, 0x80) << "ready";
}

TEST(ChipFrames, StalledFrameIsDroppedAndFlagged) {
    Bench b(Untimed());
    b.Wake();
    b.Send({0xFF, 0x00});
    b.nowUs += 100000;
    auto status = b.Status();
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[1] & 0x02, 0x02) << "data receive time-out";
}

class Sequencer : public ::testing::Test {
protected:
    Sequencer() : b(Untimed(Mode::Lite)), fw(b.chip.Settings().firmware) {
        Bytes seq(16, 0x00);
        seq.push_back(0xB0);
        b.Send(seq);
    }
    Bytes Load(int slot) { return b.Send(Routine(fw, slot)); }
    void VerifyId() {
        Load(8);
        Bytes frame{0xF5, 0xDF, 0xFF, 0x0F, 0x07};
        frame.insert(frame.end(), sim::kDefaultId.begin(), sim::kDefaultId.end());
        EXPECT_EQ(b.Send(frame), (Bytes{0x13, 0x06, 0x11}));
    }
    Bench b;
    const kv::RoutineTable& fw;
    const Bytes ack{0x13, 0x06, 0x11};
};

TEST_F(Sequencer, AcknowledgesItsOwnRoutinesOnly) {
    for (int slot = 0; slot < kv::RoutineTable::kSlots; ++slot) EXPECT_EQ(Load(slot), ack) << slot;
    Bytes foreign = Routine(fw, 5);
    foreign.back() ^= 0x01;
    EXPECT_TRUE(b.Send(foreign).empty());
    EXPECT_TRUE(b.Send({0x00, 0x03, 1, 2, 3}).empty());
}

TEST_F(Sequencer, CommandNeedsItsRoutineAndHandshakeAnswers) {
    EXPECT_TRUE(b.Send({0x70}).empty());
    EXPECT_EQ(Load(5), ack);
    EXPECT_EQ(b.Send({0x70}), (Bytes{0x80, 0x00}));
    EXPECT_EQ(b.Send({0x06}), (Bytes{0x13, 0x11}));
    EXPECT_TRUE(b.Send({0x70}).empty()) << "the routine serves one command";
    EXPECT_EQ(Load(9), ack);
    EXPECT_EQ(b.Send({0xFB}), (Bytes{'V', 'E', 'R', '.', '2', '.', '0', '5'}));
}

TEST_F(Sequencer, ProgramAndIdFramesAreAcknowledged) {
    VerifyId();
    EXPECT_TRUE(b.chip.IdVerified());
    Load(1);
    EXPECT_EQ(b.Send(PageFrame(0x41, 0x0C0000, 0x5A)), ack);
    EXPECT_EQ(b.chip.Flash().Read(0x0C00FF), 0x5A);
    Load(0);
    EXPECT_EQ(b.Send({0xFF, 0x00, 0x0C}), Bytes(256, 0x5A));
}

TEST_F(Sequencer, EraseRunsAfterTheThirdPieceInOrder) {
    VerifyId();
    b.chip.Flash().Write(0x0C0000, 0x00);
    EXPECT_EQ(Load(3), ack);
    EXPECT_EQ(Load(2), ack);
    EXPECT_EQ(Load(4), ack);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0000), 0x00) << "pieces out of order";
    Load(2);
    Load(3);
    Load(4);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0000), 0xFF);
}

TEST_F(Sequencer, ClearStatusRoutineIsTheWholeCommandAndBaudRoutinesSwitch) {
    Load(2);
    Load(3);
    Load(4);  // refused: ID not verified
    Load(5);
    EXPECT_EQ(b.Send({0x70})[0] & 0x20, 0x20);
    Load(6);
    Load(5);
    EXPECT_EQ(b.Send({0x70})[0] & 0x20, 0x00);
    Load(12);
    EXPECT_EQ(b.Send({0xB2}), Bytes{0xB2});
    EXPECT_EQ(b.Send({0x06}, 38400), (Bytes{0x13, 0x11}));
}
