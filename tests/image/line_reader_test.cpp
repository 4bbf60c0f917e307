// Line splitting at every chunk size: lines that straddle a refill come out
// whole, CR LF and a missing last line end are handled, overlong lines are
// cut to their start and the reading resumes after them.
#include "image/line_reader.h"

#include <sstream>

#include <gtest/gtest.h>

#include "tests/image/image_test_util.h"

namespace {

std::vector<std::string> Split(const std::string& text, size_t maxLine, size_t chunk) {
    std::istringstream in(text);
    kv::LineReader reader(in, maxLine, chunk);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) {
        std::string shown = reader.Overlong() ? "!" : "";  // appended: GCC 12 misreads "!" + ... at -O3
        shown += line;
        lines.push_back(shown);
    }
    EXPECT_FALSE(reader.ReadFailed());
    EXPECT_EQ(reader.LineNumber(), lines.size());
    return lines;
}

TEST(LineReader, SplitsTheSameAtEveryChunkSize) {
    const std::string text = "one\r\ntwo\n\n\r\nlonger line number five\nsix\r\r\nabcdefgh\nlast";
    const std::vector<std::string> expected{"one", "two", "", "", "!longer l", "six\r", "abcdefgh", "last"};
    for (size_t chunk = 0; chunk < 40; ++chunk) EXPECT_EQ(Split(text, 8, chunk), expected) << chunk;
}

TEST(LineReader, CrDoesNotCountAgainstTheBound) {
    EXPECT_EQ(Split("12345678\r\n123456789\r\n", 8, 3), (std::vector<std::string>{"12345678", "!12345678"}));
    EXPECT_EQ(Split("123456789", 8, 64), (std::vector<std::string>{"!12345678"}));
    EXPECT_EQ(Split("12345678\r", 8, 64), (std::vector<std::string>{"12345678"}));
}

TEST(LineReader, AnOverlongLineIsToldBeforeItsRestIsRead) {
    kvtest::EndlessBuf endless('x');
    std::istream in(&endless);
    kv::LineReader reader(in, 8, 64);
    std::string_view line;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_TRUE(reader.Overlong());
    EXPECT_EQ(line, "xxxxxxxx");
    EXPECT_LE(endless.Served(), 4096u);  // one chunk of the stream, not its end
}

TEST(LineReader, EmptyStreamHasNoLines) { EXPECT_TRUE(Split("", 8, 4).empty()); }

}  // namespace
