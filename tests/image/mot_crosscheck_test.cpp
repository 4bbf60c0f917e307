// Files written by objcopy and srec_cat must load into exactly the bytes they
// were made from, with blank holes and no stray pages; and the files this
// system writes must read back in those tools as the same bytes.
#include <map>

#include "image/image_writer.h"
#include "image/load_image_file.h"
#include "image/mot_file.h"
#include "platform/file_access.h"
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
    const auto strict = kv::LoadImageFile(mot, image);  // kelvane-cli's reading
    EXPECT_TRUE(strict.Loaded()) << kv::DescribeLoad(strict);
    ExpectImageHolds(image, {{c.address, bytes}});
}

INSTANTIATE_TEST_SUITE_P(Forms, ObjcopyTest,
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
                           " -Binary -offset 0x0C1480 -execution-start-address=0x0C00F0 -o " + mot +
                           " -Motorola -Output_Block_Size 48",
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

// Without a start address srec_cat writes no termination record: its file
// ends on a sound record, so both loaders take it whole.
TEST_F(CrossCheckTest, SrecCatWithoutStartAddressLoadsWhole) {
    if (!kvtest::HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat not installed";
    const auto bytes = kvtest::Bytes(300, 10);
    const std::string bin = dir.WriteBytes("x.bin", bytes);
    const std::string mot = dir.File("x.mot");
    EXPECT_EQ(LoadMade("srec_cat " + bin + " -Binary -offset 0x2B80 -o " + mot + " -Motorola", mot), 1);
    EXPECT_EQ(image.LastStatus(), kv::LoadStatus::Complete);
    ExpectImageHolds(image, {{0x2B80, bytes}});
    const auto strict = kv::LoadImageFile(mot, image);
    EXPECT_TRUE(strict.Loaded()) << kv::DescribeLoad(strict);
    ExpectImageHolds(image, {{0x2B80, bytes}});
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Intel HEX from the tools: objcopy mixes segment (02) and linear (04)
// records and adds a start address (03); srec_cat writes linear records.
struct IntelCase {
    const char* name;
    const char* tool;
    uint32_t address;
    size_t size;
};

void PrintTo(const IntelCase& c, std::ostream* os) { *os << c.name; }

class IntelHexMadeTest : public CrossCheckTest, public ::testing::WithParamInterface<IntelCase> {};

TEST_P(IntelHexMadeTest, LoadsEqualToTheBinary) {
    const IntelCase& c = GetParam();
    if (!kvtest::HaveTool(c.tool)) GTEST_SKIP() << c.tool << " not installed";
    const auto bytes = kvtest::Bytes(c.size, c.address + 1);
    const std::string bin = dir.WriteBytes("in.bin", bytes);
    const std::string hex = dir.File("out.hex");
    const std::string command =
        std::string(c.tool) == "objcopy"
            ? "objcopy -I binary -O ihex --change-addresses=" + Hex(c.address) + " " + bin + " " + hex
            : "srec_cat " + bin + " -Binary -offset " + Hex(c.address) + " -o " + hex + " -Intel";
    ASSERT_TRUE(kvtest::Run(command)) << command;
    const auto result = kv::LoadImageFile(hex, image);
    ASSERT_TRUE(result.Loaded()) << kv::DescribeLoad(result);
    EXPECT_EQ(result.format, kv::ImageFormat::IntelHex);
    ExpectImageHolds(image, {{c.address, bytes}});
}

INSTANTIATE_TEST_SUITE_P(Tools, IntelHexMadeTest,
                         ::testing::Values(IntelCase{"ObjcopyLow", "objcopy", 0x1234, 1000},
                                           IntelCase{"ObjcopySegmentToLinear", "objcopy", 0x0FFF81, 777},
                                           IntelCase{"ObjcopyAtTheTop", "objcopy", 0xFFFE00, 512},
                                           IntelCase{"SrecCat", "srec_cat", 0x0C00F0, 3000},
                                           IntelCase{"SrecCatAcross64K", "srec_cat", 0x0FFF81, 777}),
                         [](const auto& test) { return std::string(test.param.name); });

// What the writers produce, read by the tools back into a binary: objcopy
// from the lowest to the highest byte written with blank gaps, srec_cat over
// the whole range.
struct WrittenCase {
    const char* name;
    kv::ImageFormat format;
    const char* tool;
    bool allPages;
};

void PrintTo(const WrittenCase& c, std::ostream* os) { *os << c.name; }

class WrittenFileTest : public CrossCheckTest, public ::testing::WithParamInterface<WrittenCase> {};

TEST_P(WrittenFileTest, ToolsReadTheSameBytes) {
    const WrittenCase& c = GetParam();
    if (!kvtest::HaveTool(c.tool)) GTEST_SKIP() << c.tool << " not installed";
    // Data at both ends of the range, a hole and a page of 0xFF between them.
    const Placement placed = {{0x0C00F0, kvtest::Bytes(40, 1)},
                              {0x0C0300, std::vector<uint8_t>(256, 0xFF)},
                              {0x0D1234, kvtest::Bytes(1, 2)},
                              {0x0FFF81, kvtest::Bytes(300, 3)}};
    for (const auto& [address, bytes] : placed)
        ASSERT_TRUE(image.Put(address, bytes.data(), static_cast<uint32_t>(bytes.size())));
    kv::ImageWriteOptions options;
    options.start = 0x0C0000;
    options.end = 0x10FFFF;
    options.allPages = c.allPages;
    options.header = "out";
    const bool hex = c.format == kv::ImageFormat::IntelHex;
    const std::string file = dir.File(hex ? "out.hex" : "out.mot");
    std::string reason;
    ASSERT_TRUE(plat::WriteFileAtomically(
        file, [&](std::ostream& out) { return kv::WriteImage(c.format, image, options, out); }, reason))
        << reason;

    const bool objcopy = std::string(c.tool) == "objcopy";
    const uint32_t low = objcopy && !c.allPages ? 0x0C0000 : options.start;
    const uint32_t high = objcopy && !c.allPages ? 0x100100 : options.end + 1;
    const std::string bin = dir.File("back.bin");
    const std::string command =
        objcopy
            ? std::string("objcopy -I ") + (hex ? "ihex" : "srec") + " -O binary --gap-fill 0xFF " + file + " " + bin
            : "srec_cat " + file + (hex ? " -Intel" : " -Motorola") + " -fill 0xFF " + Hex(low) + " " + Hex(high) +
                  " -offset -" + Hex(low) + " -o " + bin + " -Binary";
    ASSERT_TRUE(kvtest::Run(command)) << command;

    std::ifstream in(bin, std::ios::binary);
    const std::vector<char> back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(back.size(), high - low);
    for (uint32_t address = low; address < high; ++address) {
        const kv::CLineImage* page = image.Page(address >> 8);
        const uint8_t want = page ? page->Bytes()[address & 0xFF] : 0xFF;
        ASSERT_EQ(static_cast<uint8_t>(back[address - low]), want) << std::hex << "at " << address;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tools, WrittenFileTest,
    ::testing::Values(WrittenCase{"IntelHexByObjcopy", kv::ImageFormat::IntelHex, "objcopy", false},
                      WrittenCase{"IntelHexAllPagesByObjcopy", kv::ImageFormat::IntelHex, "objcopy", true},
                      WrittenCase{"IntelHexBySrecCat", kv::ImageFormat::IntelHex, "srec_cat", false},
                      WrittenCase{"SRecordsByObjcopy", kv::ImageFormat::SRecord, "objcopy", false},
                      WrittenCase{"SRecordsBySrecCat", kv::ImageFormat::SRecord, "srec_cat", true}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
