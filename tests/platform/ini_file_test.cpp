#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/linux/small_file.h"
#include "platform/profile.h"
#include "tests/platform/temp_folder.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

size_t EntriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

class IniFile : public ::testing::Test {
protected:
    kvtest::TempFolder dir_;
    std::string path_ = dir_ / "kelvane.INI";
    std::unique_ptr<plat::IProfile> ini_ = plat::MakeIniFile(path_);
};

TEST_F(IniFile, MissingFileReadsNothingAndFirstWriteCreatesIt) {
    EXPECT_FALSE(ini_->Get("mode_info", "Default_Type"));
    EXPECT_EQ(plat::GetProfileInt(*ini_, "timeout", "pageread", 150), 150);
    EXPECT_FALSE(std::filesystem::exists(path_)) << "reading creates nothing";

    ASSERT_TRUE(ini_->Set("mode_info", "Default_Type", ""));
    ASSERT_TRUE(ini_->Set("mode_info", "First_data", "+Z"));
    ASSERT_TRUE(ini_->Set("Last Comm State", "Baundrate", "19200"));
    EXPECT_EQ(ReadAll(path_), "[mode_info]\nDefault_Type=\nFirst_data=+Z\n[Last Comm State]\nBaundrate=19200\n");
    EXPECT_EQ(ini_->Get("mode_info", "Default_Type"), "");
    EXPECT_EQ(EntriesIn(dir_.Path()), 1u) << "no temporary left behind";
}

TEST_F(IniFile, FirstWriteCreatesMissingFolders) {
    std::string nested = dir_ / "a/b/kelvlite.INI";
    auto ini = plat::MakeIniFile(nested);
    ASSERT_TRUE(ini->Set("Last Comm State", "Byte", "8"));
    EXPECT_EQ(ReadAll(nested), "[Last Comm State]\nByte=8\n");
}

TEST_F(IniFile, LookupIgnoresCaseAndBlanks) {
    WriteAll(path_,
             "; kelvane settings\r\n"
             "orphan=1\r\n"
             "  [ Last Comm State ]  \r\n"
             "Baundrate = 57600  \r\n"
             "\tBYTE\t=\t8\r\n"
             "; Parity=5\r\n"
             "# Stop Bit=5\r\n"
             "not a key line\r\n"
             "[timeout]\r\n"
             "pageread=3000ms\r\n"
             "empty=\r\n");
    EXPECT_EQ(ini_->Get("last comm state", "BAUNDRATE"), "57600");
    EXPECT_EQ(ini_->Get("LAST COMM STATE", "byte"), "8");
    EXPECT_FALSE(ini_->Get("Last Comm State", "Parity")) << "comments are not keys";
    EXPECT_FALSE(ini_->Get("Last Comm State", "Stop Bit"));
    EXPECT_FALSE(ini_->Get("Last Comm State", "orphan")) << "keys before any section belong to none";
    EXPECT_FALSE(ini_->Get("Last Comm State", "pageread")) << "keys of the next section";
    EXPECT_EQ(ini_->Get("TimeOut", "pageread"), "3000ms");
    EXPECT_EQ(ini_->Get("timeout", "empty"), "");
    EXPECT_FALSE(ini_->Get("mode_info", "Baundrate"));
}

TEST_F(IniFile, WriteChangesOnlyItsOwnKey) {
    const std::string before =
        "; written by hand\n"
        "\n"
        "[Last Comm State]\n"
        "Baundrate = 9600\n"
        "; the byte size\n"
        "Byte=8\n"
        "\n"
        "[mode_info]\n"
        "Default_Type=-a\n"
        "\n"
        "[timeout]\n"
        "pageread=3000";  // no line end at the very end
    WriteAll(path_, before);

    ASSERT_TRUE(ini_->Set("LAST COMM STATE", "baundrate", "115200"));
    ASSERT_TRUE(ini_->Set("Last Comm State", "Parity", "0"));
    ASSERT_TRUE(ini_->Set("timeout", "other", "1"));
    ASSERT_TRUE(ini_->Set("new section", "key", "value"));
    EXPECT_EQ(ReadAll(path_),
              "; written by hand\n"
              "\n"
              "[Last Comm State]\n"
              "Baundrate = 115200\n"
              "; the byte size\n"
              "Byte=8\n"
              "Parity=0\n"
              "\n"
              "[mode_info]\n"
              "Default_Type=-a\n"
              "\n"
              "[timeout]\n"
              "pageread=3000\n"
              "other=1\n"
              "[new section]\n"
              "key=value\n");
}

TEST_F(IniFile, WriteKeepsWindowsLineEnds) {
    WriteAll(path_, "[mode_info]\r\nDefault_Type=+a\r\n\r\n[x]\r\ny=1\r\n");
    ASSERT_TRUE(ini_->Set("mode_info", "Default_Type", "-a"));
    ASSERT_TRUE(ini_->Set("mode_info", "First_data", "-Z"));
    ASSERT_TRUE(ini_->Set("z", "k", "v"));
    EXPECT_EQ(ReadAll(path_), "[mode_info]\r\nDefault_Type=-a\r\nFirst_data=-Z\r\n\r\n[x]\r\ny=1\r\n[z]\r\nk=v\r\n");
    EXPECT_EQ(ini_->Get("mode_info", "Default_Type"), "-a");
}

TEST_F(IniFile, DuplicatesResolveToTheFirstEntry) {
    WriteAll(path_, "[s]\nk=1\nk=2\n[S]\nk=3\nj=4\n");
    EXPECT_EQ(ini_->Get("s", "k"), "1");
    EXPECT_EQ(ini_->Get("s", "j"), "4") << "a repeated section is searched too";
    ASSERT_TRUE(ini_->Set("s", "K", "9"));
    EXPECT_EQ(ReadAll(path_), "[s]\nk=9\nk=2\n[S]\nk=3\nj=4\n");
}

TEST_F(IniFile, DamagedContentIsReadAndKeptOnWrite) {
    std::string binary("\x00\xff\xfe[\x01garbage=\x00\x02\n", 14);
    std::string longLine(1u << 20, 'x');
    const std::string before = binary + "[s\n" + longLine + "=long\n" + "[s]\nk=\x80\xc3(\n" + std::string(3, '\0');
    WriteAll(path_, before);
    EXPECT_EQ(ini_->Get("s", "k"), "\x80\xc3(");
    EXPECT_EQ(ini_->Get("s", longLine), std::nullopt) << "an unclosed bracket opens no section";

    ASSERT_TRUE(ini_->Set("s", "new", "1"));
    std::string after = ReadAll(path_);
    // Everything but the inserted line is still there, byte for byte.
    const std::string inserted = "new=1\n";
    size_t at = after.find(inserted);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(after.substr(0, at) + after.substr(at + inserted.size()), before);
}

TEST_F(IniFile, EmptyFileAndOddPathsNeverHang) {
    WriteAll(path_, "");
    EXPECT_FALSE(ini_->Get("s", "k"));
    ASSERT_TRUE(ini_->Set("s", "k", "v"));
    EXPECT_EQ(ReadAll(path_), "[s]\nk=v\n");

    // A FIFO or a folder in the file's place: nothing read, nothing written.
    std::string fifo = dir_ / "fifo.INI";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto onFifo = plat::MakeIniFile(fifo);
    EXPECT_FALSE(onFifo->Get("s", "k"));
    EXPECT_FALSE(onFifo->Set("s", "k", "v"));
    auto onFolder = plat::MakeIniFile(dir_.Path());
    EXPECT_FALSE(onFolder->Get("s", "k"));
    EXPECT_FALSE(onFolder->Set("s", "k", "v"));
}

TEST_F(IniFile, RefusesTextThatWouldBreakTheFile) {
    WriteAll(path_, "[s]\nk=1\n");
    const std::tuple<std::string, std::string, std::string> refused[] = {
        {"s", "k", "1\n[evil]\nx=1"},
        {"s", "k", "a\rb"},
        {"s", "k", std::string("a\0b", 3)},
        {"s]", "k", "v"},
        {"a\nb", "k", "v"},
        {"s", "k=x", "v"},
        {"s", "", "v"},
        {"", "k", "v"},
        {"s", ";k", "v"},
        {"s", "\xEF\xBB\xBF[k", "v"},
    };
    for (const auto& [section, key, value] : refused) EXPECT_FALSE(ini_->Set(section, key, value)) << key;
    EXPECT_EQ(ReadAll(path_), "[s]\nk=1\n");
}

TEST_F(IniFile, FailedWriteLeavesTheOldFile) {
    const std::string before = "[s]\nk=1\n";
    WriteAll(path_, before);

    // The temporary cannot be made.
    std::filesystem::create_directory(plat::TemporaryPathFor(path_));
    EXPECT_FALSE(ini_->Set("s", "k", "2"));
    EXPECT_EQ(ReadAll(path_), before);
    std::filesystem::remove(plat::TemporaryPathFor(path_));

    // The disk fills up half-way through the temporary.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = ini_->Set("s", "long", std::string(100, 'v'));
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_EQ(EntriesIn(dir_.Path()), 1u) << "the temporary is removed";

    // Later writes work again.
    EXPECT_TRUE(ini_->Set("s", "k", "3"));
    EXPECT_EQ(ini_->Get("s", "k"), "3");
}

TEST_F(IniFile, WriteThroughALinkKeepsTheLinkAndPermissions) {
    std::string real = dir_ / "real.INI";
    WriteAll(real, "[s]\nk=1\n");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink(real, path_);
    ASSERT_TRUE(ini_->Set("s", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_EQ(ReadAll(real), "[s]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A relative link to a file (and folder) not made yet: the write makes it.
    std::filesystem::remove(path_);
    std::filesystem::create_symlink("dots/kelvane.INI", path_);
    ASSERT_TRUE(ini_->Set("s", "k", "3"));
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_EQ(ReadAll(dir_ / "dots/kelvane.INI"), "[s]\nk=3\n");
}

// "\r" alone ends a line as "\n" and "\r\n" do, and a leading byte-order mark
// hides no header: a section the file holds is found, never added again.
TEST_F(IniFile, EveryLineEndCountsAndASectionIsNeverAddedTwice) {
    const std::pair<std::string, std::string> files[] = {
        {"[Last Comm State]\rBaundrate=9600\rByte=8\r", "\r"},
        {"\xEF\xBB\xBF[Last Comm State]\nBaundrate=9600\nByte=8\n", "\n"},
        {"[last comm state]\r\nBaundrate=9600\r\n", "\r\n"},
    };
    for (const auto& [text, eol] : files) {
        WriteAll(path_, text);
        EXPECT_EQ(ini_->Get("Last Comm State", "Baundrate"), "9600");
        for (int run = 0; run < 5; ++run)
            for (const char* key : {"Baundrate", "Byte", "Stop Bit", "Parity"})
                ASSERT_TRUE(ini_->Set("Last Comm State", key, "0"));
        const std::string after = ReadAll(path_);
        EXPECT_EQ(std::count(after.begin(), after.end(), '['), 1) << after;
        EXPECT_EQ(after.substr(0, text.find(']') + 1), text.substr(0, text.find(']') + 1)) << "kept as it was";
        EXPECT_NE(after.find("Parity=0" + eol), std::string::npos) << "new lines end like the file's";
    }
}

// Built by appending: GCC 12 at -O3 misreads `"s" + std::to_string(...)`
// as an overlapping copy (-Wrestrict).
std::string SectionOf(int key) {
    std::string s(1, 's');
    return s.append(std::to_string(key % 3));
}
std::string KeyOf(int writer, int key) {
    std::string s(1, 'w');
    return s.append(std::to_string(writer)).append(1, 'k').append(std::to_string(key));
}

// Writers in several processes at once: every update survives.
TEST_F(IniFile, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 4, kKeys = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        if (pid == 0) {
            auto ini = plat::MakeIniFile(path_);
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) ok = ini->Set(SectionOf(k), KeyOf(w, k), "1") && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int found = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k) found += ini_->Get(SectionOf(k), KeyOf(w, k)) ? 1 : 0;
    EXPECT_EQ(found, kWriters * kKeys);
    EXPECT_EQ(EntriesIn(dir_.Path()), 1u) << "no temporary left behind";
}

// A writer that gives up its lock file removes it only while it is still
// the one it made: a file another writer renamed in meanwhile stays.
TEST_F(IniFile, AGivenUpLockFileIsRemovedOnlyWhileItIsStillOurs) {
    for (bool replaced : {false, true}) {
        WriteAll(path_, "");
        const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        if (replaced) {
            WriteAll(path_ + ".new", "[s]\nk=theirs\n");
            ASSERT_EQ(rename((path_ + ".new").c_str(), path_.c_str()), 0);
        }
        EXPECT_EQ(plat::RemoveIfStillHeld(path_, fd), !replaced);
        close(fd);
        EXPECT_EQ(std::filesystem::exists(path_), replaced);
    }
    EXPECT_EQ(ini_->Get("s", "k"), "theirs");
}

// A writer killed before its rename leaves its temporary; the next write
// removes it once that process is gone, and never one of a live process.
TEST_F(IniFile, TemporariesOfDeadWritersAreRemoved) {
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string deadTemp = path_ + ".tmp" + std::to_string(dead);
    const std::string liveTemp = path_ + ".tmp" + std::to_string(getppid());
    WriteAll(deadTemp, "[s]\nk=half");
    WriteAll(liveTemp, "[s]\nk=busy");
    ASSERT_TRUE(ini_->Set("s", "k", "1"));
    EXPECT_FALSE(std::filesystem::exists(deadTemp));
    EXPECT_TRUE(std::filesystem::exists(liveTemp));
    EXPECT_EQ(ini_->Get("s", "k"), "1");
}

// The file is no settings file: the user is told once which file it is, and
// it is neither read nor replaced.
TEST_F(IniFile, TooLargeFileIsNamedOnceAndLeftAlone) {
    const std::string huge = "[s]\nk=1\n" + std::string(4u << 20, ';');
    WriteAll(path_, huge);
    std::vector<std::string> told;
    auto ini = plat::MakeIniFile(path_, [&](const std::string& text) { told.push_back(text); });
    EXPECT_FALSE(ini->Get("s", "k"));
    EXPECT_FALSE(ini->Set("s", "k", "2"));
    EXPECT_FALSE(ini->Get("mode_info", "Default_Type"));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(path_), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("not be saved"), std::string::npos) << told[0];
    EXPECT_TRUE(ReadAll(path_) == huge);
}

// A file the user made read-only is left alone, although the folder would
// allow replacing it.
TEST_F(IniFile, ReadOnlyFileIsLeftAlone) {
    WriteAll(path_, "[s]\nk=1\n");
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    EXPECT_FALSE(ini_->Set("s", "k", "2"));
    EXPECT_EQ(ReadAll(path_), "[s]\nk=1\n");
    struct stat st {};
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(EntriesIn(dir_.Path()), 1u);
}

TEST_F(IniFile, EveryReadSeesTheFileAsItIsNow) {
    ASSERT_TRUE(ini_->Set("s", "k", "1"));
    WriteAll(path_, "[s]\nk=2\n");  // a hand edit while the program runs
    EXPECT_EQ(ini_->Get("s", "k"), "2");
}

TEST(ProfileInt, LeadingNumberOrFallback) {
    kvtest::TempFolder dir;
    WriteAll(dir / "p.INI", "[t]\nplain=3000\nunit=150ms\nword=abc\nneg= -7\nplus=+12\nhuge=99999999999\nempty=\n");
    auto ini = plat::MakeIniFile(dir / "p.INI");
    const std::pair<const char*, int> table[] = {
        {"plain", 3000}, {"unit", 150},     {"word", 0},  {"neg", -7},
        {"plus", 12},    {"huge", INT_MAX}, {"empty", 0}, {"missing", 42},
    };
    for (const auto& [key, want] : table) EXPECT_EQ(plat::GetProfileInt(*ini, "t", key, 42), want) << key;
}

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DefaultProfilePath, FollowsTheConfigFolderConvention) {
    {
        EnvVar config("XDG_CONFIG_HOME", "/x/config");
        EXPECT_EQ(plat::DefaultProfilePath("kelvane"), "/x/config/kelvane.INI");
    }
    {
        EnvVar config("XDG_CONFIG_HOME", nullptr);
        EnvVar home("HOME", "/home/u");
        EXPECT_EQ(plat::DefaultProfilePath("kelvlite"), "/home/u/.config/kelvlite.INI");
    }
    {
        EnvVar config("XDG_CONFIG_HOME", "relative");  // not absolute: ignored
        EnvVar home("HOME", "/home/u");
        EXPECT_EQ(plat::DefaultProfilePath("kelvane"), "/home/u/.config/kelvane.INI");
    }
    {
        EnvVar config("XDG_CONFIG_HOME", nullptr);
        EnvVar home("HOME", nullptr);
        std::string path = plat::DefaultProfilePath("kelvane");
        EXPECT_EQ(path.front(), '/');
        EXPECT_TRUE(path.ends_with("/.config/kelvane.INI")) << path;
    }
}

}  // namespace
