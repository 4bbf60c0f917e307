// The S-record reader: placement of data in pages, how each kind of line is
// treated, and what a refused file leaves behind.
#include "image/mot_file.h"

#include <sstream>

#include "image/line_reader.h"
#include "image/page_scan.h"
#include "tests/image/image_test_util.h"

namespace {

using kv::CMotFile;
using kv::LoadStatus;
using kvtest::Record;

// The byte at an address, 0xFF where no page exists.
uint8_t ByteAt(const CMotFile& image, uint32_t address) {
    const kv::CLineImage* page = image.Page(address >> 8);
    return page ? page->Bytes()[address & 0xFF] : 0xFF;
}

class MotFileTest : public ::testing::Test {
protected:
    int Load(const std::string& text) { return image.LoadFile(dir.Write("p.mot", text)); }

    kvtest::ScratchDir dir;
    CMotFile image;
};

TEST_F(MotFileTest, HeaderAndTerminationOnlyGiveAnEmptyImage) {
    EXPECT_EQ(Load("S00F000068656C6C6F202020202000003C\nS9030000FC\n"), 1);
    EXPECT_EQ(image.LastStatus(), LoadStatus::Complete);
    EXPECT_EQ(image.PageCount(), 0u);
    uint32_t first = 1, last = 2;
    EXPECT_FALSE(kv::FindDataPages(image, 0x1000000, first, last));
}

// A file written by another tool, with its own checksums.
TEST_F(MotFileTest, ReadsAForeignFile) {
    EXPECT_EQ(Load("S00F000068656C6C6F202020202000003C\n"
                   "S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026\n"
                   "S11F001C4BFFFFE5398000007D83637880010014382100107C0803A64E800020E9\n"
                   "S111003848656C6C6F20776F726C642E0A0042\n"
                   "S5030003F9\n"
                   "S9030000FC\n"),
              1);
    EXPECT_EQ(image.PageCount(), 1u);
    EXPECT_EQ(ByteAt(image, 0x00), 0x7C);
    EXPECT_EQ(ByteAt(image, 0x1B), 0x00);
    EXPECT_EQ(ByteAt(image, 0x1C), 0x4B);
    const std::string hello = "Hello world.\n";
    for (size_t i = 0; i < hello.size(); ++i) EXPECT_EQ(ByteAt(image, 0x38 + static_cast<uint32_t>(i)), hello[i]);
    EXPECT_EQ(ByteAt(image, 0x45), 0x00);
    EXPECT_EQ(ByteAt(image, 0x46), 0xFF);
}

TEST_F(MotFileTest, S1RecordFillsItsBytesAndLeavesTheRestBlank) {
    const auto data = kvtest::Bytes(16, 1);
    const std::string record = Record(1, 0x0000, data);
    ASSERT_EQ(record.substr(0, 4), "S113");
    EXPECT_EQ(Load(record + "\nS9030000FC\n"), 1);
    uint8_t buffer[256];
    ASSERT_NE(image.GetPage(buffer, 0), nullptr);
    for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(buffer[i], i < 16 ? data[i] : 0xFF) << i;
}

TEST_F(MotFileTest, RecordCrossingAPageBoundaryFillsBothPages) {
    const auto data = kvtest::Bytes(16, 2);
    EXPECT_EQ(Load(Record(2, 0x0FFFF8, data) + "\nS804000000FB\n"), 1);
    EXPECT_EQ(image.PageCount(), 2u);
    ASSERT_NE(image.Page(0x0FFF), nullptr);
    ASSERT_NE(image.Page(0x1000), nullptr);
    for (uint32_t a = 0x0FFF00; a < 0x100100; ++a) {
        const bool written = a >= 0x0FFFF8 && a < 0x100008;
        EXPECT_EQ(ByteAt(image, a), written ? data[a - 0x0FFFF8] : 0xFF) << std::hex << a;
    }
}

TEST_F(MotFileTest, RecordEndingAtTheTopOfTheSpaceIsAccepted) {
    const auto data = kvtest::Bytes(8, 3);
    EXPECT_EQ(Load(Record(3, 0xFFFFF8, data) + "\nS70500000000FA\n"), 1);
    EXPECT_EQ(ByteAt(image, 0xFFFFFF), data[7]);
}

TEST_F(MotFileTest, LaterRecordOverwritesEarlierOne) {
    EXPECT_EQ(Load(Record(1, 0x1000, {1, 2, 3, 4}) + "\n" + Record(1, 0x1002, {9}) + "\nS9030000FC\n"), 1);
    EXPECT_EQ(ByteAt(image, 0x1001), 2);
    EXPECT_EQ(ByteAt(image, 0x1002), 9);
    EXPECT_EQ(ByteAt(image, 0x1003), 4);
}

TEST_F(MotFileTest, RecordWithoutDataCreatesItsBlankPage) {
    const std::string record = Record(1, 0x1234, {});
    ASSERT_EQ(record.substr(0, 4), "S103");
    EXPECT_EQ(Load(record + "\nS9030000FC\n"), 1);
    ASSERT_EQ(image.PageCount(), 1u);
    const kv::CLineImage* page = image.Page(0x12);
    ASSERT_NE(page, nullptr);
    for (uint8_t b : page->Bytes()) EXPECT_EQ(b, 0xFF);
}

// Every way a data record can be malformed refuses the file at that line and
// changes nothing: the earlier record stays, the bad one creates no page.
struct BadLine {
    const char* name;
    std::string line;
};

void PrintTo(const BadLine& b, std::ostream* os) { *os << b.name; }

class BadRecordTest : public MotFileTest, public ::testing::WithParamInterface<BadLine> {};

TEST_P(BadRecordTest, RefusesTheFileAndKeepsWhatCameBefore) {
    const std::string text =
        Record(1, 0x1000, {0x11, 0x22}) + "\n" + GetParam().line + "\n" + Record(1, 0x3000, {0x33}) + "\nS9030000FC\n";
    EXPECT_EQ(Load(text), 0);
    EXPECT_EQ(image.LastStatus(), LoadStatus::BadRecord);
    EXPECT_EQ(image.LastLine(), 2u);
    EXPECT_EQ(image.PageCount(), 1u);
    EXPECT_EQ(ByteAt(image, 0x1001), 0x22);
}

std::string WithChar(std::string text, size_t position, char c) {
    text[position] = c;
    return text;
}

const std::string kGood = Record(1, 0x2000, {1, 2, 3, 4});  // S1 07 2000 01020304 cs

INSTANTIATE_TEST_SUITE_P(
    MalformedRecords, BadRecordTest,
    ::testing::Values(BadLine{"WrongChecksum", Record(1, 0x2000, {1, 2, 3, 4}, 1)},
                      BadLine{"CountNotHex", WithChar(kGood, 3, 'G')},
                      BadLine{"AddressNotHex", WithChar(kGood, 5, 'x')}, BadLine{"DataNotHex", WithChar(kGood, 9, 'G')},
                      BadLine{"ChecksumNotHex", WithChar(kGood, kGood.size() - 1, ' ')},
                      BadLine{"ShorterThanItsCount", kGood.substr(0, 10)},
                      BadLine{"ChecksumMissing", kGood.substr(0, kGood.size() - 2)}, BadLine{"CountOnlyHalf", "S10"},
                      BadLine{"CountBelowAddressAndChecksum", "S1022000DD"},
                      BadLine{"AddressAboveTheSpace", Record(3, 0x01000000, {1})},
                      BadLine{"EmptyRecordAboveTheSpace", Record(3, 0x01000000, {})},
                      BadLine{"HighestAddress", Record(3, 0xFFFFFFFF, {1})},
                      BadLine{"DataRunningPastTheSpace", Record(3, 0xFFFFF8, kvtest::Bytes(16, 4))},
                      BadLine{"LineLongerThanAnyRecord", kGood + std::string(5000, '0')}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(MotFileTest, TerminationEndsTheReadingForEachType) {
    for (const char* end : {"S70500000000FA", "S804000000FB", "S9030000FC"}) {
        EXPECT_EQ(Load(Record(1, 0x100, {5}) + "\n" + end + "\nS1ZZ garbage\nhello\n" + Record(1, 0x900, {6}) + "\n"),
                  1)
            << end;
        EXPECT_EQ(image.LastStatus(), LoadStatus::Complete);
        EXPECT_EQ(image.PageCount(), 1u);
    }
}

// Headers are skipped whatever they hold; a sound count record passes.
TEST_F(MotFileTest, HeadersAreSkippedAndCountRecordsMustCountTheDataRecords) {
    EXPECT_EQ(Load("S0030000FC\nS0 whatever\n" + Record(2, 0x20000, {7}) + "\n" + Record(1, 0x10, {8}) +
                   "\nS5030002FA\nS9030000FC\n"),
              1);
    EXPECT_EQ(image.PageCount(), 2u);
    EXPECT_EQ(ByteAt(image, 0x20000), 7);
}

// A damaged type character or termination record must not cost the board
// its data in silence: each of these refuses the file at its line.
TEST_F(MotFileTest, DamagedTypesCountsAndTerminationsRefuseTheFile) {
    const std::string data = Record(2, 0x20000, {1, 2, 3, 4});  // S2 08 020000 01020304 cs
    const std::pair<const char*, std::string> lines[] = {
        {"S4", WithChar(data, 1, '4')},
        {"SX", WithChar(data, 1, 'X')},
        {"SA", "SA00"},
        {"no type", "S"},
        {"S6 made from S2", WithChar(data, 1, '6')},
        {"count record counting wrong", "S5030002FA"},
        {"termination with data (S3 made S7)", WithChar(Record(3, 0x20000, {1, 2}), 1, '7')},
        {"termination not hex", "S9ZZZZ"},
        {"termination with a bad checksum", "S9030000FD"},
    };
    for (const auto& [name, line] : lines) {
        EXPECT_EQ(Load(Record(1, 0x100, {5}) + "\n" + line + "\n" + Record(1, 0x900, {6}) + "\nS9030000FC\n"), 0)
            << name;
        EXPECT_EQ(image.LastStatus(), LoadStatus::BadRecord) << name;
        EXPECT_EQ(image.LastLine(), 2u) << name;
    }
}

TEST_F(MotFileTest, BlankLinesCrLfAndLowerCaseDigitsAreAccepted) {
    std::string record = Record(3, 0xABCDEF, {0xAB, 0xCD});
    for (size_t i = 2; i < record.size(); ++i) record[i] = static_cast<char>(std::tolower(record[i]));
    EXPECT_EQ(Load("\r\n\n" + record + "\r\n\r\n\nS9030000FC"), 1);
    EXPECT_EQ(ByteAt(image, 0xABCDEF), 0xAB);
    EXPECT_EQ(ByteAt(image, 0xABCDF0), 0xCD);
}

TEST_F(MotFileTest, LineNotBeginningWithSEndsTheLoadKeepingTheData) {
    for (const char* line : {" S9030000FC", "s9030000FC", "hello", "\r\r"}) {
        EXPECT_EQ(Load(Record(1, 0x100, {5}) + "\n" + line + "\n" + Record(1, 0x900, {6}) + "\nS9030000FC\n"), 0)
            << line;
        EXPECT_EQ(image.LastStatus(), LoadStatus::NotSRecord);
        EXPECT_EQ(image.LastLine(), 2u);
        EXPECT_EQ(image.PageCount(), 1u);
        EXPECT_EQ(ByteAt(image, 0x100), 5);
    }
}

// srec_cat writes no termination record: a file that ends after a sound
// record is whole; one cut inside a record is not.
TEST_F(MotFileTest, WithoutTerminationASoundLastRecordEndsTheFile) {
    const std::string records = "S00600004844521B\n" + Record(1, 0x100, {5}) + "\n" + Record(1, 0x900, {6});
    for (const std::string& text : {records, records + "\n\n", records + "\nS5030002FA\n"}) {
        EXPECT_EQ(Load(text), 1) << text;
        EXPECT_EQ(image.LastStatus(), LoadStatus::Complete);
        EXPECT_EQ(ByteAt(image, 0x900), 6);
    }
    EXPECT_EQ(Load(records.substr(0, records.size() - 3)), 0);
    EXPECT_EQ(image.LastStatus(), LoadStatus::BadRecord);
    EXPECT_EQ(image.LastLine(), 3u);
    EXPECT_EQ(Load("S00600004844521B\nS0 cut"), 0);
    EXPECT_EQ(image.LastStatus(), LoadStatus::NoTermination);
}

TEST_F(MotFileTest, EmptyFileHasNoTermination) {
    EXPECT_EQ(Load(""), 0);
    EXPECT_EQ(image.LastStatus(), LoadStatus::NoTermination);
}

TEST_F(MotFileTest, SecondLoadRemovesTheFirst) {
    ASSERT_EQ(Load(Record(1, 0x100, {5}) + "\n" + Record(2, 0x80000, {6}) + "\nS9030000FC\n"), 1);
    ASSERT_EQ(Load(Record(1, 0x200, {7}) + "\nS9030000FC\n"), 1);
    EXPECT_EQ(image.PageCount(), 1u);
    EXPECT_EQ(image.Page(0x01), nullptr);
    EXPECT_EQ(image.Page(0x800), nullptr);
    EXPECT_EQ(ByteAt(image, 0x200), 7);
}

TEST_F(MotFileTest, FileThatCannotBeReadLeavesTheImageEmpty) {
    ASSERT_EQ(Load(Record(1, 0x100, {5}) + "\nS9030000FC\n"), 1);
    EXPECT_EQ(image.LoadFile(dir.File("missing.mot")), 0);
    EXPECT_EQ(image.LastStatus(), LoadStatus::CannotOpen);
    EXPECT_EQ(image.PageCount(), 0u);

    // Only regular files are opened: a FIFO would block the open, /dev/zero
    // would feed the reader for ever. A link to a regular file is followed.
    std::filesystem::create_directory(dir.File("folder.mot"));
    const std::string good = dir.Write("good.mot", Record(1, 0x100, {5}) + "\nS9030000FC\n");
    const std::pair<std::string, int> cases[] = {
        {dir.File("folder.mot"), 0},
        {dir.Fifo("fifo.mot"), 0},
        {dir.LinkTo("zero.mot", "/dev/zero"), 0},
        {dir.LinkTo("link.mot", good), 1},
    };
    for (const auto& [path, result] : cases) {
        SCOPED_TRACE(path);
        ASSERT_EQ(Load(Record(1, 0x200, {5}) + "\nS9030000FC\n"), 1);
        EXPECT_EQ(image.LoadFile(path), result);
        EXPECT_EQ(image.LastStatus(), result ? LoadStatus::Complete : LoadStatus::CannotOpen);
        EXPECT_EQ(image.PageCount(), result ? 1u : 0u);
    }
}

TEST_F(MotFileTest, AnEndlessLineEndsTheLoadWithoutReadingOn) {
    for (char fill : {'S', '\0'}) {
        kvtest::EndlessBuf endless(fill);
        std::istream in(&endless);
        EXPECT_EQ(image.LoadStream(in), 0);
        EXPECT_EQ(image.LastStatus(), fill == 'S' ? LoadStatus::BadRecord : LoadStatus::NotSRecord);
        EXPECT_LT(endless.Served(), 2 * kv::LineReader::kChunk);
    }
}

TEST_F(MotFileTest, GetPageCopiesPresentPagesOnly) {
    ASSERT_EQ(Load(Record(1, 0x1234, {0x42}) + "\nS9030000FC\n"), 1);
    uint8_t buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), 0x5A);
    EXPECT_EQ(image.GetPage(buffer, 0x13), nullptr);
    EXPECT_EQ(image.GetPage(buffer, 0x10000), nullptr);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_NE(image.GetPage(buffer, 0x12), nullptr);
    EXPECT_EQ(buffer[0x34], 0x42);
    EXPECT_EQ(buffer[0x33], 0xFF);
}

// Many records of mixed line ends, read in several chunks: every line that
// straddles a chunk boundary must come out whole.
TEST_F(MotFileTest, LargeFileIsReadAcrossChunkBoundaries) {
    std::vector<uint8_t> expected(0x30000, 0xFF);
    std::string text = "S0030000FC\n";
    uint32_t address = 0x10000;
    for (int i = 0; address + 40 < 0x40000; ++i) {
        const auto data = kvtest::Bytes(static_cast<size_t>(1 + i % 40), static_cast<uint32_t>(i));
        std::copy(data.begin(), data.end(), expected.begin() + (address - 0x10000));
        text += Record(2, address, data) + (i % 3 ? "\n" : "\r\n");
        address += static_cast<uint32_t>(data.size()) + static_cast<uint32_t>(i % 5);
    }
    text += "S804000000FB\n";
    ASSERT_GT(text.size(), 3u * 65536u);
    ASSERT_EQ(Load(text), 1);
    for (uint32_t a = 0x10000; a < 0x40000; ++a) {
        ASSERT_EQ(ByteAt(image, a), expected[a - 0x10000]) << std::hex << a;
    }
}

TEST_F(MotFileTest, LoadStreamReadsFromMemory) {
    std::istringstream in(Record(1, 0x10, {1, 2}) + "\nS9030000FC\n");
    EXPECT_EQ(image.LoadStream(in), 1);
    EXPECT_EQ(ByteAt(image, 0x11), 2);
}

}  // namespace
