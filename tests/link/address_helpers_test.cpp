// The pure helpers of the memory operations.
#include <gtest/gtest.h>

#include <array>

#include "link/check_memory_cmd.h"

namespace {

using kv::CCheckMemorryCmd;

TEST(AddressHelpers, ToHex6) {
    EXPECT_EQ(CCheckMemorryCmd::ToHex6(0), "000000");
    EXPECT_EQ(CCheckMemorryCmd::ToHex6(0x0C0000), "0C0000");
    EXPECT_EQ(CCheckMemorryCmd::ToHex6(0xFFFFFF), "FFFFFF");
    EXPECT_EQ(CCheckMemorryCmd::ToHex6(0x1234567), "1234567");
    EXPECT_EQ(CCheckMemorryCmd::ToHex6(0xFFFFFFFF), "FFFFFFFF");
}

TEST(AddressHelpers, HexToInt) {
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("0FFFFF"), 0x0FFFFFu);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("0c0f00"), 0x0C0F00u);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("1G"), 0x10u);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt(""), 0u);
    // Nine or more digits never wrap to a small address; leading zeros are harmless.
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("123456789"), 0xFFFFFFFFu);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("100000000"), 0xFFFFFFFFu);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("1000C01FF"), 0xFFFFFFFFu);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(CCheckMemorryCmd::HexToInt("0000000000FFFFFF"), 0xFFFFFFu);
}

TEST(AddressHelpers, HexDigitValue) {
    const std::pair<char, uint32_t> cases[] = {{'0', 0},  {'9', 9}, {'a', 10}, {'f', 15},  {'A', 10},
                                               {'F', 15}, {'g', 0}, {' ', 0},  {'\xff', 0}};
    for (auto [ch, v] : cases) EXPECT_EQ(kv::CCommand::HexDigitValue(ch), v) << ch;
}

TEST(AddressHelpers, SplitAddressAndBelow) {
    uint8_t high = 0, middle = 0;
    CCheckMemorryCmd::SplitAddress(0x0C3456, high, middle);
    EXPECT_EQ(high, 0x0C);
    EXPECT_EQ(middle, 0x34);
    CCheckMemorryCmd::SplitAddress(0xFFFFFFFF, high, middle);
    EXPECT_EQ(high, 0xFF);
    EXPECT_EQ(middle, 0xFF);
    EXPECT_EQ(CCheckMemorryCmd::IsBelow(1, 2), 1);
    EXPECT_EQ(CCheckMemorryCmd::IsBelow(2, 2), 0);
    EXPECT_EQ(CCheckMemorryCmd::IsBelow(0xFFFFFFFF, 0), 0);
}

TEST(AddressHelpers, FillAndClearPage) {
    std::array<uint8_t, 258> buf{};
    buf.fill(0x5A);
    CCheckMemorryCmd::FillPage(buf.data() + 1);
    EXPECT_EQ(buf[0], 0x5A);
    EXPECT_EQ(buf[1], 0xFF);
    EXPECT_EQ(buf[256], 0xFF);
    EXPECT_EQ(buf[257], 0x5A);
    CCheckMemorryCmd::ClearPage(buf.data() + 1);
    EXPECT_EQ(buf[1], 0x00);
    EXPECT_EQ(buf[256], 0x00);
    EXPECT_EQ(buf[257], 0x5A);
}

}  // namespace
