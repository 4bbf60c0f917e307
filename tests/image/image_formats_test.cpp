// Program images in every file format: what the writers produce loads back to
// the same bytes, the format is found from the content, and malformed Intel
// HEX is refused at its line with nothing left in the image.
#include <sys/stat.h>

#include <sstream>

#include "image/ihex_reader.h"
#include "image/image_writer.h"
#include "image/load_image_file.h"
#include "tests/image/image_test_util.h"

namespace {

using kv::CMotFile;
using kv::ImageFormat;
using kv::ImageLoadStatus;
using kvtest::HexRecord;

uint8_t ByteAt(const CMotFile& image, uint32_t address) {
    const kv::CLineImage* page = image.Page(address >> 8);
    return page ? page->Bytes()[address & 0xFF] : 0xFF;
}

// Data with holes: part of a page, a run across a page boundary and across
// 64 KiB, a page written only with 0xFF, and bytes at the very top.
void FillSample(CMotFile& image) {
    const std::pair<uint32_t, size_t> runs[] = {
        {0x000010, 5}, {0x0C00F0, 40}, {0x0FFF81, 300}, {0x123456, 1}, {0xFFFFE0, 32}};
    for (const auto& [address, size] : runs) {
        const auto bytes = kvtest::Bytes(size, address);
        ASSERT_TRUE(image.Put(address, bytes.data(), static_cast<uint32_t>(bytes.size())));
    }
    const std::vector<uint8_t> blank(256, 0xFF);
    ASSERT_TRUE(image.Put(0x0C0200, blank.data(), 256));
}

struct RoundTrip {
    const char* name;
    ImageFormat format;
    uint32_t start, end;
    bool allPages;
    unsigned recordBytes;
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, WrittenImageLoadsBackEqual) {
    const RoundTrip& c = GetParam();
    CMotFile image;
    FillSample(image);
    kv::ImageWriteOptions options;
    options.start = c.start;
    options.end = c.end;
    options.allPages = c.allPages;
    options.recordBytes = c.recordBytes;
    options.header = "kelvane";
    std::stringstream text;
    ASSERT_TRUE(kv::WriteImage(c.format, image, options, text));

    CMotFile back;
    const auto result =
        c.format == ImageFormat::Binary ? kv::LoadBinaryStream(text, c.start, back) : kv::LoadImageStream(text, back);
    ASSERT_TRUE(result.Loaded()) << kv::DescribeLoad(result);
    EXPECT_EQ(result.format, c.format);
    for (uint32_t page = 0; page < CMotFile::kPages; ++page) {
        const uint32_t first = std::max(page << 8, c.start), last = std::min((page << 8) | 0xFF, c.end);
        const bool inRange = first <= last;
        bool data = false;
        for (uint32_t a = first; inRange && a <= last; ++a) data |= ByteAt(image, a) != 0xFF;
        // Blank pages are left out unless every page is asked for; raw binary holds them all.
        const bool expected = inRange && (data || c.allPages || c.format == ImageFormat::Binary);
        ASSERT_EQ(back.Page(page) != nullptr, expected) << std::hex << "page " << page;
        for (uint32_t a = first; expected && a <= last; ++a)
            ASSERT_EQ(ByteAt(back, a), ByteAt(image, a)) << std::hex << "at " << a;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RoundTripTest,
    ::testing::Values(RoundTrip{"SRecordsWhole", ImageFormat::SRecord, 0, 0xFFFFFF, false, 32},
                      RoundTrip{"SRecordsS1AllPages", ImageFormat::SRecord, 0, 0x3FF, true, 16},
                      RoundTrip{"SRecordsUnalignedRange", ImageFormat::SRecord, 0x0C00F8, 0x100010, false, 7},
                      RoundTrip{"IntelHexWhole", ImageFormat::IntelHex, 0, 0xFFFFFF, false, 16},
                      RoundTrip{"IntelHexAllPages", ImageFormat::IntelHex, 0x0C0000, 0x10FFFF, true, 32},
                      RoundTrip{"IntelHexUnalignedRange", ImageFormat::IntelHex, 0x0FFFF0, 0x123456, false, 64},
                      RoundTrip{"BinaryDefaultRange", ImageFormat::Binary, 0x0C0000, 0x0FFFFF, false, 32},
                      RoundTrip{"BinaryTopUnaligned", ImageFormat::Binary, 0xFFFF01, 0xFFFFFF, false, 32}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ImageWriterTest, ChoosesTheShortestAddressFormAndItsTermination) {
    CMotFile image;
    const uint8_t byte = 0x42;
    ASSERT_TRUE(image.Put(0xFFFF, &byte, 1));
    // Whole pages are written; this range holds one byte of each.
    kv::ImageWriteOptions options;
    options.start = 0xFFFF;
    options.end = 0x10000;
    std::ostringstream low, high, hex;
    ASSERT_TRUE(kv::WriteSRecords(image, options, low));
    EXPECT_EQ(low.str(), "S104FFFF42BB\nS9030000FC\n");
    ASSERT_TRUE(image.Put(0x10000, &byte, 1));
    ASSERT_TRUE(kv::WriteSRecords(image, options, high));
    EXPECT_EQ(high.str(), "S20500FFFF42BA\nS20501000042B7\nS804000000FB\n");
    ASSERT_TRUE(kv::WriteIntelHex(image, options, hex));
    EXPECT_EQ(hex.str(), ":020000040000FA\n:01FFFF0042BF\n:020000040001F9\n:0100000042BD\n:00000001FF\n");

    options.end = 0x1000000;
    EXPECT_FALSE(kv::WriteImage(ImageFormat::Binary, image, options, hex));
    EXPECT_STREQ(kv::CheckWriteOptions(options), "the range ends beyond 0xFFFFFF");
}

TEST(ImageWriterTest, FormatFollowsTheFileName) {
    const std::pair<const char*, std::optional<ImageFormat>> names[] = {
        {"flash.mot", ImageFormat::SRecord}, {"a/b.S2", ImageFormat::SRecord}, {"x.s3", ImageFormat::SRecord},
        {"x.srec", ImageFormat::SRecord},    {"x.s", ImageFormat::SRecord},    {"x.HEX", ImageFormat::IntelHex},
        {"x.ihex", ImageFormat::IntelHex},   {"x.bin", ImageFormat::Binary},   {"x.txt", std::nullopt},
        {"dir.hex/flash", std::nullopt},     {"flash", std::nullopt}};
    for (const auto& [name, format] : names) EXPECT_EQ(kv::FormatForFileName(name), format) << name;
}

// Segment and linear bases, start addresses, lower case, trailing blanks, CR LF, blank
// lines and repeated bytes; only blank lines after the end-of-file record.
TEST(IntelHexTest, AcceptedRecordsPlaceTheirData) {
    std::string text = HexRecord(2, 0, {0x10, 0x00}) + "\r\n" +           // segment 0x1000: base 0x10000
                       HexRecord(0, 0xFFFE, {1, 2, 3, 4}) + "\r\n\r\n" +  // wraps to the segment's start
                       HexRecord(3, 0, {0, 0, 0, 0}) + " \t\n" + HexRecord(4, 0, {0x00, 0x0F}) + "\n" +
                       HexRecord(0, 0xFFFF, {5, 6}) + "\n" +  // linear: runs on into 0x100000
                       HexRecord(0, 0xFFFF, {5}) + "\n" +     // a repeat of the same value
                       HexRecord(5, 0, {0, 0x0C, 0, 0}) + "\n";
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    text += HexRecord(1, 0, {}) + "\n \t\n\x1A\n";
    std::istringstream in(text);
    CMotFile image;
    const auto result = kv::LoadIntelHex(in, image);
    ASSERT_TRUE(result.Loaded()) << kv::DescribeLoad(result);
    const std::pair<uint32_t, uint8_t> bytes[] = {{0x1FFFE, 1},  {0x1FFFF, 2},  {0x10000, 3},    {0x10001, 4},
                                                  {0x0FFFFF, 5}, {0x100000, 6}, {0x10002, 0xFF}, {0x0, 0xFF}};
    for (const auto& [address, value] : bytes) EXPECT_EQ(ByteAt(image, address), value) << std::hex << address;
    EXPECT_EQ(image.PageCount(), 4u);
}

struct BadHex {
    const char* name;
    std::string text;
    unsigned line;
    const char* reason;
};

void PrintTo(const BadHex& c, std::ostream* os) { *os << c.name; }

class BadHexTest : public ::testing::TestWithParam<BadHex> {};

TEST_P(BadHexTest, RefusedAtItsLineWithAnEmptyImage) {
    const BadHex& c = GetParam();
    const std::string good = HexRecord(0, 0x100, {1, 2, 3}) + "\n";
    std::istringstream in(good + c.text + "\n" + HexRecord(1, 0, {}) + "\n");
    CMotFile image;
    const auto result = kv::LoadImageStream(in, image);
    EXPECT_EQ(result.status, ImageLoadStatus::Refused);
    EXPECT_EQ(result.format, ImageFormat::IntelHex);
    EXPECT_EQ(result.line, c.line);
    EXPECT_EQ(result.reason, c.reason);
    EXPECT_EQ(image.PageCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadHexTest,
    ::testing::Values(
        BadHex{"Checksum", HexRecord(0, 0, {1}, 1), 2, "bad checksum"},
        BadHex{"NotHex", ":0100000G01FE", 2, "not a hexadecimal digit"},
        BadHex{"Short", HexRecord(0, 0, {1, 2}).erase(5, 2), 2, "record shorter than its count"},
        BadHex{"Long", HexRecord(0, 0, {1}) + "00", 2, "record longer than its count"},
        BadHex{"OddLength", HexRecord(0, 0, {1}) + "0", 2, "malformed record"},
        BadHex{"Truncated", ":0000", 2, "malformed record"},
        BadHex{"UnknownType", HexRecord(6, 0, {}), 2, "unknown record type 06"},
        BadHex{"ExtendedAddressSize", HexRecord(4, 0, {1}), 2, "malformed extended address record"},
        BadHex{"StartAddressSize", HexRecord(5, 0, {1, 2}), 2, "malformed start address record"},
        BadHex{"EndWithData", HexRecord(1, 0, {1}), 2, "malformed end-of-file record"},
        BadHex{"BeyondTheTop", HexRecord(4, 0, {0x01, 0x00}) + "\n" + HexRecord(0, 0, {1}), 3, "data beyond 0xFFFFFF"},
        BadHex{"RunsPastTheTop", HexRecord(4, 0, {0x00, 0xFF}) + "\n" + HexRecord(0, 0xFFFF, {1, 2}), 3,
               "data beyond 0xFFFFFF"},
        BadHex{"NotARecord", "\n S", 3, "not an Intel HEX record"},
        BadHex{"Overlong", ":" + std::string(kv::kMaxHexLine, '0'), 2, "line too long"},
        BadHex{"SRecordAmongHex", "\n" + HexRecord(0, 1, {1}) + "\nS9030000FC", 4, "not an Intel HEX record"},
        BadHex{"TwoValuesForOneByte", HexRecord(0, 0x101, {9}), 2, "000101 is given two values (02, then 09)"},
        BadHex{"TwoFilesRunTogether", HexRecord(1, 0, {}) + "\n\n" + HexRecord(0, 0x200, {1}), 4,
               "data after the end-of-file record"}),
    [](const auto& test) { return std::string(test.param.name); });

// kelvane-cli's S-records: what tools write is taken (a header, a count
// record, no termination record, a byte repeated with its value, blanks
// after a checksum or after the end)...
TEST(StrictSRecords, TakeWhatToolsWrite) {
    using kvtest::Record;
    const std::string files[] = {
        "S00600004844521B\n" + Record(2, 0x0C0000, {1, 2}) + "\n" + Record(2, 0x0C0001, {2}) + " \nS5030002FA\n",
        Record(2, 0x0C0000, {1, 2}) + "\r\n" + Record(2, 0x0C0001, {2, 3}) + "\r\nS804000000FB\r\n\r\n \n\x1A",
    };
    for (const std::string& text : files) {
        std::istringstream in(text);
        CMotFile image;
        const auto result = kv::LoadImageStream(in, image);
        ASSERT_TRUE(result.Loaded()) << kv::DescribeLoad(result) << "\n" << text;
        EXPECT_EQ(ByteAt(image, 0x0C0001), 2);
    }
}

// ... and every sign of a damaged or run-together file refuses it at its line.
class StrictSRecordTest : public ::testing::TestWithParam<BadHex> {};

TEST_P(StrictSRecordTest, RefusedAtItsLineWithAnEmptyImage) {
    const BadHex& c = GetParam();
    std::istringstream in(kvtest::Record(2, 0x0C0000, {1, 2, 3}) + "\n" + c.text + "\nS804000000FB\n");
    CMotFile image;
    const auto result = kv::LoadImageStream(in, image);
    EXPECT_EQ(result.status, ImageLoadStatus::Refused);
    EXPECT_EQ(result.line, c.line);
    EXPECT_EQ(result.reason, c.reason);
    EXPECT_EQ(image.PageCount(), 0u);
}

std::string WithType(std::string record, char type) {
    record[1] = type;
    return record;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StrictSRecordTest,
    ::testing::Values(
        BadHex{"TwoFilesRunTogether", "S804000000FB\n\n" + kvtest::Record(2, 0x0C1000, {4}), 4,
               "data after the termination record"},
        BadHex{"HexAfterTheEnd", "S804000000FB\n" + HexRecord(0, 0, {4}), 3, "data after the termination record"},
        BadHex{"S3MadeS7", WithType(kvtest::Record(3, 0x0C1000, {4, 5}), '7'), 2, "bad termination record"},
        BadHex{"TerminationNotHex", "S9ZZZZ", 2, "bad termination record"},
        BadHex{"S2MadeS4", WithType(kvtest::Record(2, 0x0C1000, {4}), '4'), 2, "unknown record type S4"},
        BadHex{"S2MadeSX", WithType(kvtest::Record(2, 0x0C1000, {4}), 'X'), 2, "unknown record type"},
        BadHex{"S2MadeS6", WithType(kvtest::Record(2, 0x0C1000, {4}), '6'), 2, "bad count record"},
        BadHex{"S2MadeS0", WithType(kvtest::Record(1, 0x0C10, {4}), '0'), 2, "header record (S0) after other records"},
        BadHex{"DigitsAfterTheChecksum", kvtest::Record(2, 0x0C1000, {4}) + "00", 2, "characters after the checksum"},
        BadHex{"TerminationWithMore", "S804000000FB00", 2, "characters after the checksum"},
        BadHex{"CountRecordCountsWrong", "S5030002FA", 2, "the count record says 2 data records, 1 came before it"},
        BadHex{"TwoValuesForOneByte", kvtest::Record(2, 0x0C0001, {2, 9}), 2,
               "0C0002 is given two values (03, then 09)"},
        BadHex{"BeyondTheTop", kvtest::Record(3, 0x01000000, {1}), 2, "data beyond 0xFFFFFF"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(IntelHexTest, MissingEndOfFileRecordIsRefused) {
    std::istringstream in(HexRecord(0, 0, {1}) + "\n");
    CMotFile image;
    const auto result = kv::LoadImageStream(in, image);
    EXPECT_EQ(result.status, ImageLoadStatus::Refused);
    EXPECT_EQ(kv::DescribeLoad(result), "no end-of-file record");
    EXPECT_EQ(image.PageCount(), 0u);
}

class LoadImageFileTest : public ::testing::Test {
protected:
    kvtest::ScratchDir dir;
    CMotFile image;
};

// The content, not the name, picks the reader; a refusal of either leaves the image empty.
TEST_F(LoadImageFileTest, FindsTheFormatFromTheFirstLine) {
    struct Case {
        std::string text;
        ImageLoadStatus status;
        ImageFormat format;
        std::string described;
    };
    const Case cases[] = {
        {"\n" + kvtest::Record(1, 0x10, {7}) + "\nS9030000FC\n", ImageLoadStatus::Loaded, ImageFormat::SRecord, ""},
        {"\r\n\n" + HexRecord(0, 0x10, {7}) + "\n:00000001FF\n", ImageLoadStatus::Loaded, ImageFormat::IntelHex, ""},
        {kvtest::Record(1, 0x10, {7}) + "\n" + kvtest::Record(1, 0x20, {7}, 1) + "\nS9030000FC\n",
         ImageLoadStatus::Refused, ImageFormat::SRecord, "line 2: bad record (digits, count or checksum)"},
        {"\n\nhello\n", ImageLoadStatus::Refused, ImageFormat::SRecord,
         "line 3: neither an S-record nor an Intel HEX record"},
        {"\n\r\n", ImageLoadStatus::Refused, ImageFormat::SRecord, "empty file"},
    };
    for (const Case& c : cases) {
        const uint8_t old = 1;
        ASSERT_TRUE(image.Put(0x500, &old, 1));
        const auto result = kv::LoadImageFile(dir.Write("p.any", c.text), image);
        EXPECT_EQ(result.status, c.status) << c.text;
        EXPECT_EQ(result.format, c.format) << c.text;
        EXPECT_EQ(kv::DescribeLoad(result), c.described);
        EXPECT_EQ(ByteAt(image, 0x10), c.status == ImageLoadStatus::Loaded ? 7 : 0xFF) << c.text;
        EXPECT_EQ(image.Page(0x5), nullptr);
    }
}

// Only regular files are read; a FIFO in the file's place must not block.
TEST_F(LoadImageFileTest, OnlyRegularFilesAreOpened) {
    std::filesystem::create_directory(dir.File("folder.hex"));
    ASSERT_EQ(mkfifo(dir.File("fifo.hex").c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {dir.File("missing.hex"), "not found"},
        {dir.File("folder.hex"), "not a regular file"},
        {dir.File("fifo.hex"), "not a regular file"},
    };
    for (const auto& [path, reason] : cases) {
        for (bool binary : {false, true}) {
            const auto result = binary ? kv::LoadBinaryFile(path, 0, image) : kv::LoadImageFile(path, image);
            EXPECT_EQ(result.status, ImageLoadStatus::CannotOpen) << path;
            EXPECT_EQ(kv::DescribeLoad(result), reason) << path;
        }
    }
}

TEST_F(LoadImageFileTest, BinaryLandsAtItsBaseAndMustFitBelowTheTop) {
    const auto bytes = kvtest::Bytes(0x11180, 3);
    const std::string path = dir.WriteBytes("x.bin", bytes);
    auto result = kv::LoadBinaryFile(path, 0xFEEE80, image);
    ASSERT_TRUE(result.Loaded()) << kv::DescribeLoad(result);
    EXPECT_EQ(result.format, ImageFormat::Binary);
    EXPECT_EQ(ByteAt(image, 0xFEEE80), bytes.front());
    EXPECT_EQ(ByteAt(image, 0xFFFFFF), bytes.back());
    EXPECT_EQ(image.PageCount(), (0xFFFFFF) / 256 - 0xFEEE80 / 256 + 1);

    const std::pair<uint32_t, const char*> tooHigh[] = {{0xFEEE81, "byte offset 0x1117F: data beyond 0xFFFFFF"},
                                                        {0x1000000, "byte offset 0x0: data beyond 0xFFFFFF"},
                                                        {0xFFFFFFFF, "byte offset 0x0: data beyond 0xFFFFFF"}};
    for (const auto& [base, described] : tooHigh) {
        result = kv::LoadBinaryFile(path, base, image);
        EXPECT_EQ(result.status, ImageLoadStatus::Refused);
        EXPECT_EQ(kv::DescribeLoad(result), described);
        EXPECT_EQ(image.PageCount(), 0u);
    }
}

}  // namespace
