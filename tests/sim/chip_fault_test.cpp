// Fault injection: every fault shows, and only where it is asked for.
#include <gtest/gtest.h>

#include "tests/sim/chip_test_support.h"

using namespace simtest;
using sim::Mode;
using sim::ReplyFault;
using Bytes = std::vector<uint8_t>;

TEST(ChipFaults, SilentOnlyOnTheNthUse) {
    Bench b(Untimed());
    b.chip.AddReplyFault({ReplyFault::Kind::Silent, 0x70, 2, 0, {}});
    b.Wake();
    EXPECT_EQ(b.Status().size(), 2u);
    EXPECT_TRUE(b.Status().empty());
    EXPECT_EQ(b.Status().size(), 2u);
}

TEST(ChipFaults, CutStrayAndWrongEcho) {
    Bench b(Untimed());
    b.chip.AddReplyFault({ReplyFault::Kind::Cut, 0xFF, 0, 10, {}});
    b.chip.AddReplyFault({ReplyFault::Kind::Stray, 0xFB, 0, 0, {0xEE, 0xDD}});
    b.chip.AddReplyFault({ReplyFault::Kind::WrongEcho, 0xB2, 0, 0, {}});
    b.Wake();
    EXPECT_EQ(b.Send({0xFF, 0x00, 0x0C}).size(), 10u);
    Bytes version = b.Send({0xFB});
    ASSERT_EQ(version.size(), 10u);
    EXPECT_EQ(version[0], 0xEE);
    EXPECT_EQ(version[2], 'V');
    EXPECT_EQ(b.Send({0xB2}), Bytes{0xB3});
    EXPECT_EQ(b.chip.Baud(), 9600u) << "a chip that misheard the code keeps its rate";
}

TEST(ChipFaults, ForcedStatusBits) {
    Bench b(Untimed());
    auto& f = b.chip.MutableFaults();
    f.srdClear = 0x80;
    f.srd1Set = 0x13;
    b.Wake();
    EXPECT_EQ(b.Status(), (Bytes{0x00, 0x13}));
}

TEST(ChipFaults, ResetByCallAndAfterBytes) {
    Bench b(Untimed());
    b.Wake();
    b.Send({0xB0});
    b.Send({0xB1});
    b.Verify();
    b.chip.Reset();
    EXPECT_FALSE(b.chip.Synchronised());
    EXPECT_EQ(b.chip.Baud(), 9600u);
    EXPECT_TRUE(b.Status().empty());
    b.Wake();
    EXPECT_EQ(b.Status()[1] & 0x0C, 0x00) << "the ID must be checked again";

    Bench c(Untimed());
    c.chip.MutableFaults().resetAfterBytes = 19;  // the wake-up is 18 bytes, then one status read
    c.Wake();
    EXPECT_EQ(c.Status().size(), 2u);
    EXPECT_TRUE(c.Status().empty());
    EXPECT_EQ(c.chip.ResetCount(), 1);
}

TEST(ChipFaults, EraseProgramAndReadBack) {
    Bench b(Untimed(Mode::Bootloader));
    auto& f = b.chip.MutableFaults();
    f.programErrorPage = 0x0C0200;
    f.flipOnReadAddress = 0x0C0105;
    b.chip.Flash().Write(0x0C0105, 0x0F);
    b.Wake();
    b.Send(PageFrame(0x41, 0x0C0100, 0x0F));
    EXPECT_EQ(b.Status()[0], 0x80);
    b.Send(PageFrame(0x41, 0x0C0200, 0x00));
    EXPECT_EQ(b.Status()[0], 0x90);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0200), 0xFF);
    Bytes page = b.Send({0xFF, 0x01, 0x0C});
    EXPECT_EQ(page[5], 0xF0);
    EXPECT_EQ(page[6], 0x0F);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0105), 0x0F) << "only the read-back is wrong";

    f.eraseError = true;
    b.Send({0x50});
    b.Send({0xA7, 0xD0});
    EXPECT_EQ(b.Status()[0], 0xA0);
    EXPECT_FALSE(b.chip.Flash().UsedPages().empty());
}

TEST(ChipFaults, SequencerAcknowledgementAndHandshake) {
    Bench b(Untimed(Mode::Lite));
    b.chip.AddReplyFault({ReplyFault::Kind::Cut, sim::Chip::kAckCode, 1, 2, {}});
    b.chip.AddReplyFault({ReplyFault::Kind::Silent, 0x06, 0, 0, {}});
    Bytes seq(16, 0x00);
    seq.push_back(0xB0);
    b.Send(seq);
    EXPECT_EQ(b.Send(Routine(b.chip.Settings().firmware, 5)), (Bytes{0x13, 0x06}));
    EXPECT_EQ(b.Send(Routine(b.chip.Settings().firmware, 5)), (Bytes{0x13, 0x06, 0x11}));
    EXPECT_TRUE(b.Send({0x06}).empty());
}
