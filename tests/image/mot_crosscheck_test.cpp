// Files written by objcopy and srec_cat must load into exactly the bytes they
// were made from, with blank holes and no stray pages.
#include <map>

#include "image/mot_file.h"
#include "tests/image/image_test_util.h"

namespace {

// Binaries placed at addresses, as the image should hold them.
using Placement = std::map<uint32_t, std::vector<uint8_t>>;

void ExpectImageHolds(const kv::CMotFile& image, const Placement& placed) {
    std::map<uint32_t, uint8_t> expected;
    for (const auto& [address, bytes] : placed) {
        for (size_t i = 0; i < bytes.size(); ++i) expected[address + static_cast<uint32_t>(i)] = bytes[i];
    }
    size_t pages = 0;
    uint32_t previousPage = 0xFFFFFFFF;
    for (const auto& [address, value] : expected) {
        if (address >> 8 != previousPage) ++pages;
        previousPage = address >> 8;
    }
    EXPECT_EQ(image.PageCount(), pages);
    image.PresentPages().ForEach([&](uint32_t page) {
        const auto& bytes = image.Page(page)->Bytes();
        for (uint32_t offset = 0; offset < 256; ++offset) {
            const uint32_t address = (page << 8) | offset;
            const auto it = expected.find(address);
            const uint8_t want = it == expected.end() ? 0xFF : it->second;
            ASSERT_EQ(bytes[offset], want) << std::hex << "at " << address;
        }
    });
}

class CrossCheckTest : public ::testing::Test {
protected:
    int LoadMade(const std::string& command, const std::string& output) {
        if (!kvtest::Run(command)) {
            ADD_FAILURE() << "tool failed: " << command;
            return -1;
        }
        return image.LoadFile(output);
    }

    kvtest::ScratchDir dir;
    kv::CMotFile image;
};

struct ObjcopyCase {
    const char* name;
    uint32_t address;
    size_t size;
    const char* options;
};

void PrintTo(const ObjcopyCase& c, std::ostream* os) { *os << c.name; }

class ObjcopyTest : public CrossCheckTest, public ::testing::WithParamInterface<ObjcopyCase> {};

TEST_P(ObjcopyTest, LoadsWhatObjcopyWrote) {
    if (!kvtest::HaveTool("objcopy")) GTEST_SKIP() << "objcopy not installed";
    const ObjcopyCase& c = GetParam();
    const auto bytes = kvtest::Bytes(c.size, c.address);
    const std::string bin = dir.WriteBytes("in.bin", bytes);
    const std::string mot = dir.File("out.mot");
    char change[32];
    std::snprintf(change, sizeof change, "0x%X", c.address);
    EXPECT_EQ(LoadMade("objcopy -I binary -O srec --change-addresses=" + std::string(change) + " " + c.options + " " +
                           bin + " " + mot,
                       mot),
              1);
    EXPECT_EQ(image.LastStatus(), kv::LoadStatus::Complete);
    ExpectImageHolds(image, {{c.address, bytes}});
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ObjcopyTest,
    ::testing::Values(ObjcopyCase{"S1", 0x1234, 1000, ""},
                      ObjcopyCase{"S1LongRecords", 0x0010, 3000, "--srec-len=64"},
                      ObjcopyCase{"S2AcrossPages", 0x0FFF81, 777, "--srec-len=29"},
                      ObjcopyCase{"S3Forced", 0x0C0000, 4096, "--srec-forceS3"},
                      ObjcopyCase{"S3AtTheTop", 0xFFFE00, 512, "--srec-forceS3 --srec-len=200"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(CrossCheckTest, SrecCatMergedBinariesKeepTheirHole) {
    if (!kvtest::HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat not installed";
    const auto a = kvtest::Bytes(700, 7);
    const auto b = kvtest::Bytes(1500, 8);
    const std::string aBin = dir.WriteBytes("a.bin", a);
    const std::string bBin = dir.WriteBytes("b.bin", b);
    const std::string mot = dir.File("m.mot");
    EXPECT_EQ(LoadMade("srec_cat " + aBin + " -Binary -offset 0x0C00F0 " + bBin +
                           " -Binary -offset 0x0C1480 -execution-start-address=0x0C00F0 -o " + mot + " -Motorola -Output_Block_Size 48",
                       mot),
              1);
    ExpectImageHolds(image, {{0x0C00F0, a}, {0x0C1480, b}});
}

TEST_F(CrossCheckTest, SrecCatAddressLengths) {
    if (!kvtest::HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat not installed";
    const auto bytes = kvtest::Bytes(900, 9);
    const std::string bin = dir.WriteBytes("x.bin", bytes);
    for (int length : {2, 3, 4}) {
        std::string name = "x";  // appended: GCC 12 misreads "x" + ... at -O3
        name += std::to_string(length);
        name += ".mot";
        const std::string mot = dir.File(name);
        EXPECT_EQ(LoadMade("srec_cat " + bin + " -Binary -offset 0x8020 -execution-start-address=0x8020 -o " + mot +
                               " -Motorola -Address_Length=" + std::to_string(length),
                           mot),
                  1)
            << length;
        ExpectImageHolds(image, {{0x8020, bytes}});
    }
}

// Without a start address srec_cat writes no termination record: the data
// load all the same and the caller learns that the end was missing.
TEST_F(CrossCheckTest, SrecCatWithoutStartAddressHasNoTermination) {
    if (!kvtest::HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat not installed";
    const auto bytes = kvtest::Bytes(300, 10);
    const std::string bin = dir.WriteBytes("x.bin", bytes);
    const std::string mot = dir.File("x.mot");
    EXPECT_EQ(LoadMade("srec_cat " + bin + " -Binary -offset 0x2B80 -o " + mot + " -Motorola", mot), 0);
    EXPECT_EQ(image.LastStatus(), kv::LoadStatus::NoTermination);
    ExpectImageHolds(image, {{0x2B80, bytes}});
}

}  // namespace
