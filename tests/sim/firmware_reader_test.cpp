// The sequencer firmware reader: the project's firm.mot, and bad files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "image/routine_table.h"

namespace {

std::string BuildDir() {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    return dir ? dir : ".";
}

std::string S2(uint32_t address, const std::vector<uint8_t>& data) {
    char buf[24];
    uint32_t count = static_cast<uint32_t>(data.size()) + 4;
    uint32_t sum = count + (address >> 16) + ((address >> 8) & 0xFF) + (address & 0xFF);
    std::string line = "S2";
    std::snprintf(buf, sizeof buf, "%02X%06X", count, address);
    line += buf;
    for (uint8_t b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        line += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X", ~sum & 0xFF);
    return line + buf;
}

// A firmware whose 14 blocks each hold `length` bytes after the length field.
std::vector<std::string> Firmware(uint32_t length = 5) {
    std::vector<uint8_t> dir(14 * 8, 0);
    std::vector<std::string> lines{"S0030000FC"};
    for (uint32_t i = 0; i < 14; ++i) {
        uint32_t at = 0x200 + i * 0x400;
        dir[i * 8] = static_cast<uint8_t>(at);
        dir[i * 8 + 1] = static_cast<uint8_t>(at >> 8);
        std::vector<uint8_t> block{static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
        block.resize(length + 2, static_cast<uint8_t>(i));
        for (size_t off = 0; off < block.size(); off += 32) {
            std::vector<uint8_t> part(block.begin() + static_cast<long>(off),
                                      block.begin() + static_cast<long>(std::min(block.size(), off + 32)));
            lines.push_back(S2(at + static_cast<uint32_t>(off), part));
        }
    }
    lines.push_back(S2(0x14, dir));
    lines.push_back("S804000000FB");
    return lines;
}

class FirmwareFile : public ::testing::Test {
protected:
    bool Load(const std::vector<std::string>& lines, const std::string& eol = "\n") {
        {
            std::ofstream f(path_);
            for (const auto& l : lines) f << l << eol;
        }
        return kv::LoadSequencerFirmware(path_, table, opened);
    }
    void TearDown() override { std::remove(path_.c_str()); }

    // One file per test process: ctest runs the tests side by side.
    std::string path_ = ::testing::TempDir() + "kv_firm_test_" + std::to_string(getpid()) + ".mot";
    kv::RoutineTable table;
    bool opened = false;
};

TEST_F(FirmwareFile, ProjectFirmwareHasFourteenDistinctRoutines) {
    ASSERT_TRUE(kv::LoadSequencerFirmware(BuildDir() + "/firm.mot", table, opened));
    EXPECT_TRUE(table.loaded);
    // Kept as text: GCC 12 misreads the ordering of byte vectors at -O3.
    std::set<std::string> seen;
    for (const auto& s : table.slots) {
        ASSERT_GE(s.length, 3u);
        ASSERT_LE(s.length, 1024u);
        EXPECT_EQ(s.length, ((s.bytes[0] << 8) | s.bytes[1]) + 2u);
        seen.insert(std::string(reinterpret_cast<const char*>(s.bytes.data()), s.length));
    }
    EXPECT_EQ(seen.size(), 14u);
}

TEST_F(FirmwareFile, RecordOrderDoesNotMatter) {
    auto lines = Firmware(300);
    ASSERT_TRUE(Load(lines));
    kv::RoutineTable ascending = table;
    std::reverse(lines.begin(), lines.end());
    ASSERT_TRUE(Load(lines, "\r\n\n"));
    for (size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(table.slots[i].length, 302u);
        EXPECT_EQ(table.slots[i].length, ascending.slots[i].length);
        EXPECT_EQ(table.slots[i].bytes, ascending.slots[i].bytes);
    }
    EXPECT_EQ(table.slots[13].bytes[301], 13);
}

TEST_F(FirmwareFile, LongestBlockFitsAndOneMoreFails) {
    EXPECT_TRUE(Load(Firmware(1022)));
    EXPECT_EQ(table.slots[0].length, 1024u);
    EXPECT_FALSE(Load(Firmware(1023)));
}

TEST_F(FirmwareFile, BadFilesFailWithoutTouchingTheTable) {
    ASSERT_TRUE(Load(Firmware()));
    const kv::RoutineTable good = table;
    struct Case {
        const char* what;
        std::vector<std::string> lines;
    };
    auto plus = [](std::vector<std::string> lines, const std::string& extra) {
        lines.push_back(extra);
        return lines;
    };
    auto without = [](std::vector<std::string> lines, size_t index) {
        lines.erase(lines.begin() + static_cast<long>(index));
        return lines;
    };
    std::vector<uint8_t> far(8, 0);
    far[0] = 0xFE;
    far[1] = 0x4F;  // a block at 0x4FFE whose 16 bytes would run past the buffer
    std::vector<uint8_t> outside(8, 0);
    outside[1] = 0xC0;  // 0xC000: outside the buffer
    const Case cases[] = {
        {"line not starting with S", plus(Firmware(), ":10000000")},
        {"record past 0x4FFF", plus(Firmware(), S2(0x4FFE, {1, 2, 3}))},
        {"record with bad hex", plus(Firmware(), "S2080001000102GG")},
        {"record shorter than its count", plus(Firmware(), "S2100001000102")},
        {"block byte never written", without(Firmware(), 1)},
        {"directory never written", without(Firmware(), Firmware().size() - 2)},
        {"block runs past the end", plus(plus(Firmware(), S2(0x14, far)), S2(0x4FFE, {0x00, 0x10}))},
        {"directory points outside", plus(Firmware(), S2(0x14, outside))},
        {"line longer than any record", plus(Firmware(), "S2" + std::string(600, '0'))},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Load(c.lines)) << c.what;
        EXPECT_TRUE(opened) << c.what;
        EXPECT_EQ(table.slots[3].bytes, good.slots[3].bytes) << c.what;
    }
}

TEST_F(FirmwareFile, MissingFileIsNotOpened) {
    opened = true;
    EXPECT_FALSE(kv::LoadSequencerFirmware("/nonexistent/firm.mot", table, opened));
    EXPECT_FALSE(opened);
    // Nor anything but a regular file: /dev/zero would be read for ever.
    const std::string zero = path_ + ".zero";
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    opened = true;
    EXPECT_FALSE(kv::LoadSequencerFirmware(zero, table, opened));
    EXPECT_FALSE(opened);
    std::remove(zero.c_str());
}

TEST_F(FirmwareFile, TheRefusedLineIsNamed) {
    auto lines = Firmware();
    lines.insert(lines.begin() + 2, std::string(2000, 'S'));
    {
        std::ofstream f(path_);
        for (const auto& l : lines) f << l << "\n";
    }
    unsigned badLine = 0;
    EXPECT_FALSE(kv::LoadSequencerFirmware(path_, table, opened, &badLine));
    EXPECT_EQ(badLine, 3u);
}

}  // namespace
