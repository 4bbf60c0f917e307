// The file-descriptor line reader: blocking reads, and a look at the next
// line that never waits for a line still being typed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/line_reader.h"

namespace {

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe() {
        CloseWriter();
        ::close(fds_[0]);
    }
    int Reader() const { return fds_[0]; }
    void Write(const std::string& s) { ASSERT_EQ(::write(fds_[1], s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    void CloseWriter() {
        if (fds_[1] >= 0) ::close(fds_[1]);
        fds_[1] = -1;
    }

private:
    int fds_[2] = {-1, -1};
};

TEST(FdLineSource, PeeksOnlyCompleteLinesWithoutWaiting) {
    Pipe pipe;
    auto src = plat::MakeFdLineSource(pipe.Reader());
    EXPECT_EQ(src->PeekCompleteLine(), std::nullopt);  // nothing there: returns at once
    pipe.Write("canc");
    EXPECT_EQ(src->PeekCompleteLine(), std::nullopt);
    pipe.Write("el\r\nsecond\n");
    EXPECT_EQ(src->PeekCompleteLine(), "cancel");
    EXPECT_EQ(src->PeekCompleteLine(), "cancel");  // a look does not take it
    std::string line;
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "cancel");
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "second");
    EXPECT_EQ(src->PeekCompleteLine(), std::nullopt);
}

TEST(FdLineSource, LastLineWithoutLineEndCountsAtEndOfInput) {
    Pipe pipe;
    auto src = plat::MakeFdLineSource(pipe.Reader());
    pipe.Write("a\n\ntail");
    pipe.CloseWriter();
    std::string line;
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "");
    EXPECT_EQ(src->PeekCompleteLine(), "tail");
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "tail");
    EXPECT_FALSE(src->ReadLine(line));
    EXPECT_EQ(src->PeekCompleteLine(), std::nullopt);
}

TEST(FdLineSource, LongLinesSpanManyReads) {
    Pipe pipe;
    auto src = plat::MakeFdLineSource(pipe.Reader());
    const std::string longLine(10000, 'x');
    pipe.Write(longLine + "\nend\n");
    EXPECT_EQ(src->PeekCompleteLine(), longLine);
    std::string line;
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, longLine);
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "end");
}

TEST(FdLineSource, BadDescriptorIsEndOfInput) {
    auto src = plat::MakeFdLineSource(-1);
    std::string line;
    EXPECT_FALSE(src->ReadLine(line));
    EXPECT_EQ(src->PeekCompleteLine(), std::nullopt);
}

}  // namespace
