// Finding the pages that hold data, over the whole space or below a limit.
#include "image/page_scan.h"

#include "tests/image/image_test_util.h"

namespace {

struct ScanCase {
    const char* name;
    std::vector<uint32_t> addresses;  // one data byte at each
    uint32_t limit;
    bool found;
    uint32_t first;
    uint32_t last;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class PageScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(PageScanTest, FindsLowestAndHighestPage) {
    const ScanCase& c = GetParam();
    std::string text;
    for (uint32_t a : c.addresses) text += kvtest::Record(2, a, {0x00}) + "\n";
    text += "S804000000FB\n";
    kvtest::ScratchDir dir;
    kv::CMotFile image;
    ASSERT_EQ(image.LoadFile(dir.Write("p.s2", text)), 1);

    uint32_t first = 0xDEAD, last = 0xBEEF;
    EXPECT_EQ(kv::FindDataPages(image, c.limit, first, last), c.found);
    if (c.found) {
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
    } else {
        EXPECT_EQ(first, 0xDEADu);
        EXPECT_EQ(last, 0xBEEFu);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, PageScanTest,
    ::testing::Values(ScanCase{"Empty", {}, 0x1000000, false, 0, 0},
                      ScanCase{"OnlyPageZero", {0x000010}, 0x1000000, true, 0x000000, 0x0000FF},
                      ScanCase{"PageZeroGivesTheStart", {0x000000, 0x0C1234}, 0x1000000, true, 0x000000, 0x0C12FF},
                      ScanCase{"WholeSpace", {0x0FFFFF, 0xC00000, 0xFFFFFF}, 0x1000000, true, 0x0FFF00, 0xFFFFFF},
                      ScanCase{"DownloadRange", {0x2B00, 0x2C00}, 0x2C00, true, 0x2B00, 0x2BFF},
                      ScanCase{"NothingBelowTheLimit", {0x2C00, 0x30000}, 0x2C00, false, 0, 0},
                      ScanCase{"LimitInsideAPage", {0x2C10}, 0x2C01, true, 0x2C00, 0x2CFF},
                      // Pages on both sides of a 64-page word of the presence set.
                      ScanCase{"WordEdges", {0x3F00, 0x4000, 0x7F00}, 0x4000, true, 0x3F00, 0x3FFF},
                      ScanCase{"WordEdgesAbove", {0x3F00, 0x4000, 0x7F00}, 0x4001, true, 0x3F00, 0x40FF}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
