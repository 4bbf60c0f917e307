// Status, page read, version, ID check, erase, program and download.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/mcu_layout.h"
#include "tests/sim/chip_test_support.h"

using namespace simtest;
using sim::Mode;
using Bytes = std::vector<uint8_t>;

TEST(ChipStatus, ClearStatusClearsErrorsButKeepsIdState) {
    Bench b(Untimed());
    b.Wake();
    EXPECT_EQ(b.Status(), (Bytes{0x80, 0x00}));
    b.Send({0xA7, 0xD0});  // refused: ID not verified
    b.Send(PageFrame(0x41, 0x0C0000, 0x00));
    EXPECT_EQ(b.Status(), (Bytes{0xB0, 0x00}));
    b.Verify();
    b.Send({0x50});
    EXPECT_EQ(b.Status(), (Bytes{0x80, 0x0C}));
}

TEST(ChipRead, PageReadAndVersion) {
    sim::Options o = Untimed();
    o.version = "V1";
    Bench b(o);
    b.chip.Flash().Write(0x0C0105, 0x42);
    b.Wake();
    Bytes page = b.Send({0xFF, 0x01, 0x0C});
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ(page[5], 0x42);
    EXPECT_EQ(page[4], 0xFF);
    EXPECT_EQ(b.Send({0xFB}), (Bytes{'V', '1', ' ', ' ', ' ', ' ', ' ', ' '}));
}

TEST(ChipId, CheckPerMcuType) {
    struct Case {
        sim::McuType mcu;
        Bytes address;
    };
    const Case cases[] = {
        {sim::McuType::VireoM, {0xDF, 0xFF, 0x0F}},
        {sim::McuType::VireoH, {0xDF, 0xFF, 0xFF}},
        {sim::McuType::Wren, {0xD4, 0xFF, 0x00}},
    };
    const sim::IdCode wrong = {1, 2, 3, 4, 5, 6, 7};
    auto frame = [](const Bytes& address, const sim::IdCode& id) {
        // Byte by byte: GCC 12 misreads inserts into a short vector at -O3.
        Bytes f{0xF5};
        for (uint8_t b : address) f.push_back(b);
        f.push_back(0x07);
        for (uint8_t b : id) f.push_back(b);
        return f;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mcu));
        sim::Options o = Untimed();
        o.mcu = c.mcu;
        Bench b(o);
        EXPECT_EQ(b.chip.Flash().Read(sim::IdAddresses(c.mcu)[6]), 0x77);
        b.Wake();
        b.Send(frame(c.address, wrong));
        EXPECT_EQ(b.Status()[1] & 0x0C, 0x04);
        b.Send(frame(cases[(&c - cases + 1) % 3].address, sim::kDefaultId));
        EXPECT_EQ(b.Status()[1] & 0x0C, 0x04) << "another type's address";
        b.Send(frame(c.address, sim::kDefaultId));
        EXPECT_EQ(b.Status()[1] & 0x0C, 0x0C);

        o.id = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        Bench blank(o);
        blank.Wake();
        blank.Send(frame(c.address, wrong));
        EXPECT_EQ(blank.Status()[1] & 0x0C, 0x0C) << "a blank chip takes any ID";
    }
}

TEST(ChipErase, EraseAllAndBlocks) {
    Bench b(Untimed(Mode::Bootloader));
    auto& flash = b.chip.Flash();
    for (uint32_t a : {0x0FFF00u, 0x0FBF00u, 0x0F9F00u, 0x0F7F00u, 0x0F9FFFu, 0x0FA000u}) flash.Write(a, 0x00);
    b.Wake();
    b.Send({0x75});
    b.Send({0x20, 0xBF, 0x0F, 0xD0});
    EXPECT_EQ(flash.Read(0x0FBF00), 0xFF);
    EXPECT_EQ(flash.Read(0x0FA000), 0xFF);
    EXPECT_EQ(flash.Read(0x0F9FFF), 0x00) << "the next block down is kept";
    EXPECT_EQ(flash.Read(0x0FFF00), 0x00);
    EXPECT_EQ(b.Status()[0], 0x80);
    for (uint32_t a : {0x0FFF00u, 0x0F9F00u, 0x0F7F00u}) ASSERT_TRUE(sim::BlockAt(a)) << std::hex << a;

    b.Send({0x20, 0x00, 0x50, 0xD0});  // 0x500000 is in no block
    EXPECT_EQ(b.Status()[0], 0xA0);
    b.Send({0x50});
    b.Send({0xA7, 0xD0});
    EXPECT_TRUE(flash.UsedPages().empty());
    EXPECT_EQ(b.Status()[0], 0x80);
}

TEST(ChipProgram, OnlyClearsBits) {
    Bench b(Untimed(Mode::Bootloader));
    b.Wake();
    b.Send(PageFrame(0x41, 0x0C0100, 0xF0));
    b.Send(PageFrame(0x41, 0x0C0100, 0x30));
    EXPECT_EQ(b.Status()[0], 0x80);
    EXPECT_EQ(b.chip.Flash().Read(0x0C01FF), 0x30);
    b.Send(PageFrame(0x41, 0x0C0100, 0x0F));
    EXPECT_EQ(b.Status()[0], 0x90);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0100), 0x30) << "a refused page is left alone";
}

TEST(ChipProgram, FlashModeNeedsTheId) {
    Bench b(Untimed(Mode::Flash));
    b.Wake();
    b.Send(PageFrame(0x41, 0x0C0000, 0x00));
    EXPECT_EQ(b.Status()[0], 0x90);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0000), 0xFF);
    b.Verify();
    b.Send({0x50});
    b.Send(PageFrame(0x41, 0x0C0000, 0x00));
    EXPECT_EQ(b.Status()[0], 0x80);
    EXPECT_EQ(b.chip.Flash().Read(0x0C0000), 0x00);
}

namespace {
Bytes DownloadFrame(const Bytes& data, uint8_t sum) {
    Bytes f(4 + data.size());  // sized, not inserted: GCC 12 misreads the insert at -O3
    f[0] = 0xFA;
    f[1] = static_cast<uint8_t>(data.size());
    f[2] = static_cast<uint8_t>(data.size() >> 8);
    f[3] = sum;
    std::copy(data.begin(), data.end(), f.begin() + 4);
    return f;
}
}  // namespace

TEST(ChipDownload, ResultOfLengthAndChecksum) {
    Bench b(Untimed(Mode::Bootloader));
    b.Wake();
    Bytes data(512, 0x01);
    data[0] = 0x10;
    uint8_t sum = static_cast<uint8_t>(0x10 + 511);
    EXPECT_EQ(b.Send(DownloadFrame(data, sum)), (Bytes{sum, 0x00}));
    EXPECT_EQ(b.chip.LastDownload(), data);
    EXPECT_EQ(b.Status()[1] & 0x10, 0x10);
    EXPECT_EQ(b.Send(DownloadFrame(data, static_cast<uint8_t>(sum + 1))), (Bytes{sum, 0x01}));
    EXPECT_EQ(b.Status()[1] & 0x10, 0x00);
}

TEST(ChipDownload, StalledTransferEndsWithAnErrorAtItsDeadline) {
    Bench b(Untimed(Mode::Bootloader));
    b.Wake();
    Bytes frame = DownloadFrame(Bytes(512, 0x00), 0x00);
    frame.resize(4 + 256);
    EXPECT_TRUE(b.Send(frame).empty());
    auto deadline = b.chip.NextTimerUs();
    ASSERT_TRUE(deadline);
    EXPECT_EQ(*deadline, b.nowUs + b.chip.Settings().downloadGapUs);
    EXPECT_TRUE(b.chip.Advance(*deadline - 1).empty());
    auto out = b.chip.Advance(*deadline + 5000);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].value, 0x01);
    EXPECT_EQ(out[1].dueUs, *deadline);
    EXPECT_EQ(b.chip.LastDownload().size(), 256u);
    b.nowUs = *deadline + 10000;
    EXPECT_EQ(b.Status()[1] & 0x02, 0x02);
}

TEST(ChipDownload, InternalFlashModeAnswersNothing) {
    Bench b(Untimed(Mode::Flash));
    b.Wake();
    EXPECT_TRUE(b.Send(DownloadFrame(Bytes(256, 0xFF), 0x00)).empty());
    EXPECT_EQ(b.chip.LastDownload().size(), 256u);
    EXPECT_EQ(b.Status().size(), 2u) << "back to commands after the data";
}
