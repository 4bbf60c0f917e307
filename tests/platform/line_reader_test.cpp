// The file-descriptor line reader: blocking reads, and a look at the next
// line that never waits for a line still being typed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/line_reader.h"
#include "tests/platform/cpu_time.h"

namespace {

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe() {
        CloseWriter();
        ::close(fds_[0]);
    }
    int Reader() const { return fds_[0]; }
    void Write(const std::string& s) {
        ASSERT_EQ(::write(fds_[1], s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
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

// A line longer than any answer is skipped as it arrives (memory stays
// bounded) and counted once; everything is scanned once, so 64 MiB on one
// line costs about as much as reading it.
TEST(FdLineSource, OverlongLinesAreSkippedInLinearTime) {
    Pipe pipe;
    auto src = plat::MakeFdLineSource(pipe.Reader());
    const std::string longest(plat::kMaxInputLine, 'y');
    std::thread writer([&] {
        pipe.Write("ok\n");
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 64; ++i) pipe.Write(block);
        pipe.Write("\nnext\n" + longest + "\r\n" + longest + "zz\ntail");
        pipe.CloseWriter();
    });
    const double cpuBefore = kvtest::ThreadCpuMs();
    std::string line;
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "ok");
    EXPECT_EQ(src->TakeRefusedLines(), 0u);
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "next");
    EXPECT_EQ(src->TakeRefusedLines(), 1u);
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_TRUE(line == longest) << "a line of exactly the limit is taken; got " << line.size() << " bytes";
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "tail");
    EXPECT_EQ(src->TakeRefusedLines(), 1u);
    EXPECT_FALSE(src->ReadLine(line));
    writer.join();
    EXPECT_LT(kvtest::ThreadCpuMs() - cpuBefore, 2000.0);
}

// A stop request ends a wait for a line that is not coming.
TEST(FdLineSource, WakeDescriptorEndsTheWait) {
    Pipe input, wake;
    auto src = plat::MakeFdLineSource(input.Reader(), wake.Reader());
    input.Write("first\n");
    std::string line;
    ASSERT_TRUE(src->ReadLine(line));
    EXPECT_EQ(line, "first");
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        wake.Write("!");
    });
    const double cpuBefore = kvtest::ThreadCpuMs();
    EXPECT_FALSE(src->ReadLine(line));
    EXPECT_LT(kvtest::ThreadCpuMs() - cpuBefore, 20.0) << "the wait slept";
    waker.join();
    EXPECT_FALSE(src->ReadLine(line)) << "the request stays";
}

TEST(FdLineSource, BadDescriptorIsEndOfInput) {
    auto src = plat::MakeFdLineSource(-1);
    std::string line;
    EXPECT_FALSE(src->ReadLine(line));
    EXPECT_EQ(src->PeekCompleteLine(), std::nullopt);
}

}  // namespace
