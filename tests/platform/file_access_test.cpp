// Image files: a replacement appears whole or not at all, and reading opens
// regular files only, as a seekable stream.
#include "platform/file_access.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/platform/temp_folder.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t EntriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

// Runs f with the file size limit at `limit` bytes (SIGXFSZ ignored, so writes fail with EFBIG).
bool WithFileSizeLimit(rlim_t limit, const std::function<bool()>& f) {
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool result = f();
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    sigaction(SIGXFSZ, &old, nullptr);
    return result;
}

TEST(WriteFileAtomically, ReplacesWholeOrLeavesTheOldFile) {
    kvtest::TempFolder dir;
    const std::string path = dir / "flash.hex";
    std::ofstream(path) << "old";
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const std::string big(200000, 'x');  // more than one stream buffer
    std::string reason;

    struct Case {
        const char* name;
        std::function<bool(const std::string& target)> write;
        const char* reason;
    };
    const auto writing = [&](const std::string& text, bool answer) {
        return [&reason, text, answer](const std::string& target) {
            return plat::WriteFileAtomically(
                target, [&](std::ostream& out) { return (out << text).good() && answer; }, reason);
        };
    };
    const Case failures[] = {
        {"writer gives up", writing(big, false), "the file could not be written"},
        {"disk full mid-way",
         [&](const std::string& t) { return WithFileSizeLimit(1000, [&] { return writing(big, true)(t); }); },
         "File too large"},
        {"disk full at the last flush",
         [&](const std::string& t) { return WithFileSizeLimit(2, [&] { return writing("new", true)(t); }); },
         "File too large"},
    };
    for (const Case& c : failures) {
        reason.clear();
        EXPECT_FALSE(c.write(path)) << c.name;
        EXPECT_EQ(ReadAll(path), "old") << c.name;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << c.name << ": the temporary is removed";
        EXPECT_FALSE(c.write(dir / "new.hex")) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir / "new.hex")) << c.name;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
    EXPECT_FALSE(writing("new", true)(dir / "missing/x.hex"));
    EXPECT_EQ(reason, "No such file or directory");

    ASSERT_TRUE(writing(big, true)(path)) << reason;
    EXPECT_EQ(ReadAll(path), big);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

// Only a regular file or a new name is written: a device node, a FIFO or a
// folder in the file's place is left as it is; and whether the write could
// happen is known before the work that makes the content.
TEST(WriteFileAtomically, WritesRegularFilesAndNewNamesOnly) {
    kvtest::TempFolder dir;
    const std::string fifo = dir / "fifo.hex";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir / "link.hex");
    std::filesystem::create_directory(dir / "folder.hex");
    std::ofstream(dir / "old.hex") << "old";
    const struct {
        std::string path;
        const char* reason;  // "" when the file can be written
    } cases[] = {
        {fifo, "not a regular file"},
        {dir / "link.hex", "not a regular file"},
        {"/dev/null", "not a regular file"},
        {dir / "folder.hex", "is a folder"},
        {dir / "none/x.hex", ""},  // below
        {dir / "old.hex", ""},
        {dir / "new.hex", ""},
    };
    const size_t entries = EntriesIn(dir.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string reason;
        const bool missingFolder = c.path.find("/none/") != std::string::npos;
        const std::string expected = missingFolder ? "the folder " + dir / "none" + " does not exist" : c.reason;
        EXPECT_EQ(plat::CheckFileCanBeWritten(c.path, reason), expected.empty());
        EXPECT_EQ(reason, expected);
        EXPECT_EQ(EntriesIn(dir.Path()), entries) << "nothing made, nothing left";
        if (c.path == "/dev/null" || !*c.reason) continue;
        bool asked = false;
        EXPECT_FALSE(plat::WriteFileAtomically(
            c.path, [&](std::ostream&) { return asked = true; }, reason));
        EXPECT_EQ(reason, c.reason);
        EXPECT_FALSE(asked);
    }
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(EntriesIn(dir.Path()), entries);

    // No room: a full disk, here a file size limit, is found before the work.
    std::string reason;
    EXPECT_FALSE(WithFileSizeLimit(100, [&] { return plat::CheckFileCanBeWritten(dir / "new.hex", reason); }));
    EXPECT_EQ(reason, "no room in " + dir.Path() + ": File too large");
    EXPECT_EQ(EntriesIn(dir.Path()), entries);
    // A folder that takes no new file (root may write anywhere).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
        EXPECT_FALSE(plat::CheckFileCanBeWritten(dir / "new.hex", reason));
        EXPECT_EQ(reason, "no file can be made in " + dir.Path() + ": Permission denied");
        chmod(dir.Path().c_str(), 0755);
    }
}

TEST(OpenRegularFile, ReadsAndSeeksRegularFilesOnly) {
    kvtest::TempFolder dir;
    const std::string path = dir / "p.hex";
    std::string text;
    for (int i = 0; i < 20000; ++i) text += std::to_string(i) + "\n";
    std::ofstream(path) << text;
    plat::OpenError error = plat::OpenError::Failed;
    std::string reason;
    auto in = plat::OpenRegularFile(path, error, reason);
    ASSERT_TRUE(in);
    EXPECT_EQ(error, plat::OpenError::None);
    std::string line;
    for (int i = 0; i < 15000; ++i) std::getline(*in, line);
    EXPECT_EQ(line, "14999");
    in->clear();
    ASSERT_TRUE(in->seekg(0));
    std::ostringstream all;
    all << in->rdbuf();
    EXPECT_EQ(all.str(), text);

    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // must not block the open
    const std::pair<std::string, plat::OpenError> refused[] = {{dir / "missing", plat::OpenError::Missing},
                                                               {dir / "folder", plat::OpenError::NotRegular},
                                                               {dir / "fifo", plat::OpenError::NotRegular}};
    for (const auto& [p, expected] : refused) {
        EXPECT_EQ(plat::OpenRegularFile(p, error, reason), nullptr) << p;
        EXPECT_EQ(error, expected) << p;
    }
}

}  // namespace

namespace {

// Lines appended from many writers at once come out whole, each once; a
// line that cannot go out whole leaves the file as it was.
TEST(AppendWhole, LinesStayWholeAmongManyWritersOrAreNotWritten) {
    kvtest::TempFolder dir;
    const std::string path = dir / "runs.jsonl";
    constexpr int kWriters = 6;
    constexpr int kLines = 150;
    const auto lineOf = [](int writer, int n) {
        return std::to_string(writer) + ":" + std::string(static_cast<size_t>(100 + 37 * n % 5000), 'a' + writer) +
               "\n";
    };
    {
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([&, w] {
                std::string reason;
                for (int n = 0; n < kLines; ++n) EXPECT_TRUE(plat::AppendWhole(path, lineOf(w, n), reason)) << reason;
            });
        for (auto& t : writers) t.join();
    }
    std::multiset<std::string> expected, got;
    for (int w = 0; w < kWriters; ++w)
        for (int n = 0; n < kLines; ++n) expected.insert(lineOf(w, n));
    std::istringstream in(ReadAll(path));
    for (std::string line; std::getline(in, line);) got.insert(line + "\n");
    EXPECT_TRUE(got == expected);

    const std::string small = dir / "small.jsonl";
    std::string reason;
    ASSERT_TRUE(plat::AppendWhole(small, "first\n", reason));
    EXPECT_FALSE(WithFileSizeLimit(20, [&] { return plat::AppendWhole(small, std::string(40, 'x') + "\n", reason); }));
    EXPECT_EQ(ReadAll(small), "first\n");
    EXPECT_FALSE(plat::AppendWhole(dir.Path(), "x\n", reason));  // a folder is no log
}

}  // namespace
