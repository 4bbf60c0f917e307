// kelvane-cli as a real process against vireo-sim on a pseudo-terminal: its
// exit status for each way a run can end, its JSON lines, and the same bytes
// on the wire as kelvane's console for the same erase-program-read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "image/image_writer.h"
#include "image/load_image_file.h"
#include "image/mot_file.h"
#include "tests/e2e/child_process.h"
#include "tests/image/image_test_util.h"

namespace {

using kvtest::BuildPath;
using kvtest::RunProgram;
using Bytes = std::vector<int>;

constexpr int kDeadlineMs = 60000;
constexpr uint32_t kBase = 0x0C0000;
constexpr size_t kFileSize = 0x240;  // three pages, the last one partly

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char hex[3];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

// S2 records of 16 bytes over `size` bytes at `base` that hold no 0xFF; a
// `damaged` file has a wrong checksum in its second record.
void WriteProgram(const std::string& path, uint32_t base, size_t size, bool damaged = false) {
    std::ofstream out(path);
    for (size_t at = 0; at < size; at += 16) {
        const uint32_t address = base + static_cast<uint32_t>(at);
        std::vector<uint8_t> body = {20, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                                     static_cast<uint8_t>(address)};
        for (size_t i = 0; i < 16; ++i) body.push_back(static_cast<uint8_t>(((at + i) * 7 + 1) % 0xFF));
        unsigned sum = 0;
        for (uint8_t b : body) sum += b;
        body.push_back(static_cast<uint8_t>(~sum + (damaged && at == 16 ? 1 : 0)));
        out << "S2" << Hex(body) << "\n";
    }
    out << "S804000000FB\n";
}

struct Bench {
    explicit Bench(const std::string& name)
        : folder(kvtest::FreshFolder(name)),
          config(kvtest::FreshFolder(name + "_config")),
          mot(folder + "/fw.mot"),
          log(folder + "/sim.log"),
          dump(folder + "/flash.mot") {
        WriteProgram(mot, kBase, kFileSize);
    }
    std::vector<std::string> Env() const {
        // The network library's known leaks (see the file) do not fail an
        // address-sanitised run on an rfc2217:// port.
        const std::string suppressions = (std::filesystem::path(__FILE__).parent_path() / "lsan_gensio.supp").string();
        return {"XDG_CONFIG_HOME=" + config, "XDG_RUNTIME_DIR=" + folder,
                "KELVANE_UI=", "LSAN_OPTIONS=suppressions=" + suppressions};
    }
    kvtest::ProgramRun Cli(std::vector<std::string> args, const std::string& input = "") const {
        args.insert(args.begin(), "kelvane-cli");
        return RunProgram(BuildPath("kelvane-cli"), args, Env(), input, kDeadlineMs);
    }
    Bytes Received() const {
        Bytes v;
        for (const auto& [value, baud] : kvtest::ReadByteLog(log)) v.push_back(value);
        return v;
    }
    std::string folder, config, mot, log, dump;
};

void ExpectFlashHoldsTheFile(const Bench& b) {
    kv::CMotFile file, flash;
    ASSERT_EQ(file.LoadFile(b.mot), 1);
    ASSERT_EQ(flash.LoadFile(b.dump), 1) << b.dump;
    EXPECT_EQ(flash.PageCount(), file.PageCount());
    for (uint32_t page = kBase / 256; page <= (kBase + kFileSize) / 256; ++page) {
        ASSERT_NE(flash.Page(page), nullptr) << page;
        EXPECT_EQ(flash.Page(page)->Bytes(), file.Page(page)->Bytes()) << page;
    }
}

bool Contains(const Bytes& all, const Bytes& part) {
    return std::search(all.begin(), all.end(), part.begin(), part.end()) != all.end();
}

TEST(CliE2E, WriteEraseVerifyProgramsTheFileAndLeavesTheLinkAt9600) {
    for (const std::string mode : {"flash", "lite"}) {
        SCOPED_TRACE(mode);
        const Bench b("cli_write_" + mode);
        kvtest::SimServer sim({"--mode", mode, "--log", b.log, "--dump", b.dump});
        const auto run = b.Cli({"--port", sim.Port(), "--mode", mode, "--id", "11 22 33 44 55 66 77", "write", b.mot,
                                "--erase", "--verify"});
        sim.Stop();
        ASSERT_FALSE(run.timedOut) << run.out << run.err;
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(run.out, "write: programmed and checked 0C0000-0C02FF\n") << run.err;
        ExpectFlashHoldsTheFile(b);
        const auto received = kvtest::ReadByteLog(b.log);
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received.back().second, 9600u);  // the last code went out at 9600 bps
    }
}

// The bytes WriteProgram puts at its base.
std::vector<uint8_t> ProgramBytes() {
    std::vector<uint8_t> bytes(kFileSize);
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>((k * 7 + 1) % 0xFF);
    return bytes;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Round trip through the chip in each format: the program file is written and
// checked, and the flash read back into the same format holds the program
// with blank bytes around it, blank pages left out (raw binary: the whole
// range). objcopy and srec_cat read the saved file to the same bytes.
TEST(CliE2E, ReadSavesWhatWriteProgrammedInEachFormat) {
    struct Case {
        kv::ImageFormat format;
        const char* in;
        const char* out;
        std::vector<std::string> tools;  // OUT: the saved file; X: the raw bytes they make of it from 0C0000
    };
    const std::vector<Case> cases = {
        {kv::ImageFormat::SRecord,
         "fw.s2",
         "flash.srec",
         {"objcopy -I srec -O binary OUT X", "srec_cat OUT -Motorola -offset -0x0C0000 -o X -Binary"}},
        {kv::ImageFormat::IntelHex,
         "fw.hex",
         "flash.hex",
         {"objcopy -I ihex -O binary OUT X", "srec_cat OUT -Intel -offset -0x0C0000 -o X -Binary"}},
        {kv::ImageFormat::Binary, "fw.bin", "flash.bin", {}},
    };
    const std::vector<uint8_t> program = ProgramBytes();
    std::vector<uint8_t> pages = program;  // the three pages that hold data, as the chip holds them
    pages.resize(3 * 256, 0xFF);
    kv::CMotFile image;
    ASSERT_TRUE(image.Put(kBase, program.data(), static_cast<uint32_t>(program.size())));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        const Bench b(std::string("cli_read_") + c.in);
        const std::string in = b.folder + "/" + c.in;
        const std::string out = b.folder + "/" + c.out;
        kv::ImageWriteOptions options;
        options.start = kBase;
        options.end = kBase + kFileSize - 1;
        {
            std::ofstream file(in, std::ios::binary);
            ASSERT_TRUE(kv::WriteImage(c.format, image, options, file));
        }
        kvtest::SimServer sim({});
        std::vector<std::string> args = {"--port", sim.Port(), "--id", "11223344556677", "write", in};
        if (c.format == kv::ImageFormat::Binary) args.insert(args.end(), {"--base", "0C0000"});
        args.insert(args.end(), {"--erase", "--verify", "read", out, "--range", "0C0000-0C07FF"});
        const auto run = b.Cli(args);
        sim.Stop();
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("read: saved to " + out), std::string::npos) << run.out;

        if (c.format == kv::ImageFormat::Binary) {
            std::vector<uint8_t> range = pages;
            range.resize(0x800, 0xFF);
            EXPECT_TRUE(FileBytes(out) == range);
        } else {
            kv::CMotFile saved;
            const auto loaded = kv::LoadImageFile(out, saved);
            ASSERT_TRUE(loaded.Loaded()) << kv::DescribeLoad(loaded);
            EXPECT_EQ(loaded.format, c.format);
            EXPECT_EQ(saved.PageCount(), 3u);
            for (uint32_t page = 0; page < 3; ++page) {
                ASSERT_NE(saved.Page(kBase / 256 + page), nullptr) << page;
                EXPECT_TRUE(std::equal(pages.begin() + page * 256, pages.begin() + (page + 1) * 256,
                                       saved.Page(kBase / 256 + page)->Bytes().begin()))
                    << page;
            }
        }
        for (std::string command : c.tools) {
            const std::string tool = command.substr(0, command.find(' '));
            if (!kvtest::HaveTool(tool)) continue;
            const std::string x = b.folder + "/" + tool + ".bin";
            command.replace(command.find("OUT"), 3, out);
            command.replace(command.find(" X"), 2, " " + x);
            ASSERT_TRUE(kvtest::Run(command)) << command;
            EXPECT_TRUE(FileBytes(x) == pages) << command;
        }
    }

    // A pipe in and a pipe out: the program from stdin, the flash to stdout,
    // the result lines on stderr.
    const Bench b("cli_read_pipe");
    std::ostringstream piped;
    kv::ImageWriteOptions options;
    options.start = kBase;
    options.end = kBase + kFileSize - 1;
    ASSERT_TRUE(kv::WriteImage(kv::ImageFormat::SRecord, image, options, piped));
    kvtest::SimServer sim({});
    const auto run = b.Cli({"--port", sim.Port(), "--id", "11223344556677", "write", "-", "--erase", "--verify", "read",
                            "-", "--format", "ihex", "--range", "0C0000-0C07FF"},
                           piped.str());
    sim.Stop();
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("write: programmed and checked 0C0000-0C02FF"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("read: written to standard output as Intel HEX"), std::string::npos) << run.err;
    std::istringstream out(run.out);
    kv::CMotFile saved;
    const auto loaded = kv::LoadImageStream(out, saved);
    ASSERT_TRUE(loaded.Loaded()) << kv::DescribeLoad(loaded) << run.out;
    EXPECT_EQ(saved.PageCount(), 3u);
    ASSERT_NE(saved.Page(kBase / 256), nullptr);
    EXPECT_TRUE(std::equal(pages.begin(), pages.begin() + 256, saved.Page(kBase / 256)->Bytes().begin()));
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The text with its line `index` (0-based) changed by `change`.
std::string WithLine(const std::string& text, size_t index, const std::function<void(std::string&)>& change) {
    std::istringstream in(text);
    std::string result, line;
    for (size_t i = 0; std::getline(in, line); ++i) {
        if (i == index) change(line);
        result += line + "\n";
    }
    return result;
}

// Each way a run can fail ends with its own exit status and a line that
// names what failed; refusals send nothing.
TEST(CliE2E, FailuresEndWithTheirExitStatus) {
    struct Case {
        const char* name;
        std::vector<std::string> sim;
        std::vector<std::string> args;  // FILE, BIN, BAD, BADHEX, BIG, OUT, NOFOLDER: the files below
        int code;
        const char* says;  // in stdout and stderr together
        bool nothingSent;
        bool nothingErased;
        bool backTo9600 = false;  // the chip answers to the end: the link ends at 9600 bps
    };
    const std::vector<Case> cases = {
        {"flipped byte", {"--flip-read", "0C0123"}, {"write", "FILE", "--erase"}, 8, "0C0123", false, false, true},
        {"verify on a blank chip",
         {},
         {"verify", "FILE"},
         8,
         "difference at 0C0000: expected 01, read FF",
         false,
         true,
         true},
        {"wrong ID", {}, {"--id", "00112233445566", "erase", "write", "FILE"}, 6, "refused the ID", false, true, true},
        {"silent chip", {"--no-reply", "B0"}, {"erase"}, 5, "no answer from the chip", false, true},
        {"damaged file", {}, {"write", "BAD"}, 3, "line 2", true, true},
        {"ID text", {}, {"--id", "11223344", "erase"}, 2, "--id", true, true},
        {"range", {}, {"verify", "FILE", "--range", "0D0000-0C0000"}, 2, "--range", true, true},
        {"download too large", {}, {"download", "BIG"}, 2, "download: ", true, true},
        {"chip reset while programming", {"--reset-after", "300"}, {"write", "FILE"}, 5, "no reply", false, false},
        {"missing port", {}, {"--port", "/dev/kv-no-such-port", "erase"}, 4, "/dev/kv-no-such-port", true, true},
        {"damaged Intel HEX", {}, {"write", "BADHEX"}, 3, "line 2: ", true, true},
        {"raw binary beyond FFFFFF", {}, {"write", "BIN", "--base", "FFFF00"}, 3, "beyond 0xFFFFFF", true, true},
        {"reply cut in the third page read",
         {"--cut-reply", "FF:100@3"},
         {"read", "OUT", "--range", "0C0000-0C07FF"},
         5,
         "no reply from the chip",
         false,
         true},
        {"read into a missing folder", {}, {"read", "NOFOLDER"}, 3, "does not exist", true, true},
        // Files that would cost a good board its program, refused before the port opens.
        {"file without data", {}, {"erase", "write", "NODATA"}, 3, "no data records", true, true},
        {"two files run together",
         {},
         {"write", "TWOFILES"},
         3,
         "line 38: data after the termination record",
         true,
         true},
        {"damaged record type", {}, {"write", "S6"}, 3, "line 2: bad count record", true, true},
        {"bytes after a checksum", {}, {"write", "TRAILING"}, 3, "line 1: characters after the checksum", true, true},
        {"one address, two values", {}, {"write", "TWOVALUES"}, 3, "0C0010 is given two values", true, true},
        {"read into a FIFO", {}, {"read", "FIFO"}, 3, "not a regular file", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bench b(std::string("cli_fail_") + std::to_string(&c - cases.data()));
        const std::string bad = b.folder + "/bad.mot";
        WriteProgram(bad, kBase, kFileSize, true);
        const std::string badHex = b.folder + "/bad.hex";
        std::ofstream(badHex) << ":020000040000FA\n:10000000000102030405060708090A0B0C0D0E0F77\n:00000001FF\n";
        const std::string bin = b.folder + "/fw.bin";
        const std::vector<uint8_t> bytes = ProgramBytes();
        std::ofstream(bin, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const std::string out = b.folder + "/read.hex";
        const std::string big = b.folder + "/big.mot";
        WriteProgram(big, 0x000000, 0x10000);
        const std::string noData = b.folder + "/nodata.mot";
        std::ofstream(noData) << "S00600004844521B\nS804000000FB\n";
        const std::string good = FileText(b.mot);
        const std::string twoFiles = b.folder + "/two.mot";
        std::ofstream(twoFiles) << good << good;  // 36 records and the termination record each
        const std::string s6 = b.folder + "/s6.mot";
        std::ofstream(s6) << WithLine(good, 1, [](std::string& l) { l[1] = '6'; });
        const std::string trailing = b.folder + "/trailing.mot";
        std::ofstream(trailing) << WithLine(good, 0, [](std::string& l) { l += "00"; });
        const std::string twoValues = b.folder + "/values.mot";
        std::ofstream(twoValues) << kvtest::Record(2, kBase + 0x10, {9}) << "\n" << good;
        const std::string fifo = b.folder + "/fifo.hex";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::vector<std::string> simArgs = {"--log", b.log};
        simArgs.insert(simArgs.end(), c.sim.begin(), c.sim.end());
        kvtest::SimServer sim(simArgs);
        // A case that names its own port runs on that port alone (two would be two boards).
        const bool ownPort = std::find(c.args.begin(), c.args.end(), "--port") != c.args.end();
        std::vector<std::string> args = {"--id", "11223344556677"};
        if (!ownPort) args.insert(args.begin(), {"--port", sim.Port()});
        const std::map<std::string, std::string> files = {{"FILE", b.mot},
                                                          {"BIN", bin},
                                                          {"BAD", bad},
                                                          {"BADHEX", badHex},
                                                          {"BIG", big},
                                                          {"OUT", out},
                                                          {"NOFOLDER", b.folder + "/none/read.hex"},
                                                          {"NODATA", noData},
                                                          {"TWOFILES", twoFiles},
                                                          {"S6", s6},
                                                          {"TRAILING", trailing},
                                                          {"TWOVALUES", twoValues},
                                                          {"FIFO", fifo}};
        for (const std::string& a : c.args) args.push_back(files.count(a) ? files.at(a) : a);
        const auto began = std::chrono::steady_clock::now();
        const auto run = b.Cli(args);
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began).count();
        sim.Stop();
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.code) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        EXPECT_LT(seconds, 15);  // within the time-outs
        const Bytes received = b.Received();
        if (c.nothingSent) {
            EXPECT_TRUE(received.empty()) << received.size();
        }
        if (c.backTo9600) {
            const auto log = kvtest::ReadByteLog(b.log);
            ASSERT_GT(log.size(), 3u);
            EXPECT_EQ(log.back(), std::make_pair(0xB0, 9600u));
            EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const auto& e) { return e.second == 115200u; }));
        }
        if (c.nothingErased) {
            EXPECT_FALSE(Contains(received, {0xA7, 0xD0}));
            EXPECT_FALSE(Contains(received, {0x41}));
        }
        struct stat st {};
        EXPECT_TRUE(stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << "the FIFO stays";
        // A failed read leaves no file behind, not even a temporary one.
        for (const auto& entry : std::filesystem::directory_iterator(b.folder))
            EXPECT_EQ(entry.path().filename().string().find("read.hex"), std::string::npos) << entry.path();
    }
}

// The dialog programs' console and kelvane-cli put the same bytes on the
// wire, at the same rates, for erase-program-read of one file: kelvane in
// internal flash mode, kelvlite through the sequencer.
TEST(CliE2E, SameBytesOnTheWireAsTheDialogProgramsForEraseProgramRead) {
    const std::string idCheck = "\n1002=11\n1003=22\n1004=33\n1005=44\n1006=55\n1007=66\n1008=77\nok\n";
    const struct {
        std::string program, mode, baud, script;
    } cases[] = {
        // Start dialog, ID check, E. P. R..., "Erase?", Exit.
        {"kelvane", "flash", "115200", "ok\n1011=FILE" + idCheck + "1010\nok\n2\n"},
        // kelvlite also asks the range and confirms it.
        {"kelvlite", "lite", "57600", "1011=FILE" + idCheck + "1010\nok\nok\nok\n2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const Bench dialog("cli_wire_" + c.program);
        std::ofstream(dialog.config + "/" + c.program + ".INI")
            << "[Last Comm State]\nBaundrate=" << c.baud << "\nByte=8\nStop Bit=0\nParity=0\n";
        {
            kvtest::SimServer sim({"--mode", c.mode, "--log", dialog.log});
            std::string script = c.script;
            script.replace(script.find("FILE"), 4, dialog.mot);
            std::vector<std::string> args = {c.program, "--console"};
            if (c.program == "kelvane") args.push_back("--port");
            args.push_back(sim.Port());
            const auto run = RunProgram(BuildPath(c.program), args, dialog.Env(), script, kDeadlineMs);
            sim.Stop();
            ASSERT_EQ(run.exitCode, 0) << run.out;
            ASSERT_NE(run.out.find("Program OK."), std::string::npos) << run.out;
        }
        const Bench cli("cli_wire_cli_" + c.mode);
        {
            kvtest::SimServer sim({"--mode", c.mode, "--log", cli.log});
            const auto run = cli.Cli({"--port", sim.Port(), "--mode", c.mode, "--baud", c.baud, "--id",
                                      "11223344556677", "write", cli.mot, "--erase"});
            sim.Stop();
            ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        }
        const auto expected = kvtest::ReadByteLog(dialog.log);
        const auto got = kvtest::ReadByteLog(cli.log);
        ASSERT_GT(expected.size(), 3 * 259u);
        EXPECT_TRUE(expected == got) << expected.size() << " bytes from " << c.program << ", " << got.size()
                                     << " from kelvane-cli";
    }
}

// A minimal JSON reader: whether `text` is exactly one JSON object.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& text) : s_(text) {}
    bool IsObject() {
        Space();
        if (Peek() != '{' || !Value()) return false;
        Space();
        return i_ == s_.size();
    }

private:
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    void Space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s_.compare(i_, w.size(), w) != 0) return false;
        i_ += w.size();
        return true;
    }
    bool String() {
        if (Peek() != '"') return false;
        for (++i_; i_ < s_.size(); ++i_) {
            const unsigned char ch = static_cast<unsigned char>(s_[i_]);
            if (ch < 0x20) return false;
            if (ch == '\\')
                ++i_;
            else if (ch == '"')
                return ++i_, true;
        }
        return false;
    }
    bool Number() {
        const size_t from = i_;
        if (Peek() == '-') ++i_;
        while (std::isdigit(static_cast<unsigned char>(Peek())) || Peek() == '.' || Peek() == 'e' || Peek() == 'E' ||
               Peek() == '+' || Peek() == '-')
            ++i_;
        return i_ > from;
    }
    bool Sequence(char close, bool members) {
        ++i_;
        Space();
        if (Peek() == close) return ++i_, true;
        for (;;) {
            Space();
            if (members) {
                if (!String()) return false;
                Space();
                if (Peek() != ':') return false;
                ++i_;
                Space();
            }
            if (!Value()) return false;
            Space();
            if (Peek() == close) return ++i_, true;
            if (Peek() != ',') return false;
            ++i_;
        }
    }
    bool Value() {
        switch (Peek()) {
            case '{': return Sequence('}', true);
            case '[': return Sequence(']', false);
            case '"': return String();
            case 't': return Literal("true");
            case 'f': return Literal("false");
            case 'n': return Literal("null");
            default: return Number();
        }
    }
    const std::string& s_;
    size_t i_ = 0;
};

TEST(CliE2E, JsonIsOneObjectPerLine) {
    const Bench b("cli_json");
    kvtest::SimServer sim({"--flip-read", "0C0101"});
    const auto run =
        b.Cli({"--port", sim.Port(), "--id", "11223344556677", "--json", "info", "write", b.mot, "--erase"});
    sim.Stop();
    EXPECT_EQ(run.exitCode, 8) << run.out << run.err;
    ASSERT_FALSE(run.out.empty());
    size_t lines = 0;
    size_t begin = 0;
    while (begin < run.out.size()) {
        const size_t end = run.out.find('\n', begin);
        ASSERT_NE(end, std::string::npos) << "the last line has no end";
        const std::string line = run.out.substr(begin, end - begin);
        EXPECT_TRUE(JsonCheck(line).IsObject()) << line;
        begin = end + 1;
        ++lines;
    }
    EXPECT_GT(lines, 3u);
    EXPECT_NE(run.out.find("\"command\":\"info\",\"ok\":true"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"address\":\"0C0101\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"event\":\"progress\""), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(run.out.rfind('{')), "{\"event\":\"exit\",\"ok\":false,\"code\":8}\n");
}

// Several boards at once: each runs on its own link, the good one is
// flashed whatever the others do, each failure keeps its own reason, and the
// exit status is the failure of highest priority.
TEST(CliE2E, GangFlashesTheGoodBoardsAndReportsEachFailure) {
    const std::string wrongId = "00112233445566";
    {
        std::vector<Bench> boards;
        for (int i = 0; i < 3; ++i) boards.emplace_back("cli_gang_" + std::to_string(i));
        kvtest::SimServer good({"--dump", boards[0].dump});
        kvtest::SimServer otherId({"--id", wrongId, "--log", boards[1].log});
        kvtest::SimServer flipped({"--flip-read", "0C0123"});
        const auto run = boards[0].Cli({"--port", good.Port(), "--port", otherId.Port(), "--port", flipped.Port(),
                                        "--id", "11223344556677", "write", boards[0].mot, "--erase", "--verify"});
        good.Stop();
        otherId.Stop();
        ASSERT_FALSE(run.timedOut) << run.out << run.err;
        EXPECT_EQ(run.exitCode, 6) << run.out << run.err;  // the ID outranks a difference
        ExpectFlashHoldsTheFile(boards[0]);
        EXPECT_FALSE(Contains(boards[1].Received(), {0xA7, 0xD0}));  // nothing erased on the refused board
        const std::string& out = run.out;
        EXPECT_NE(out.find(good.Port() + ": write: programmed and checked 0C0000-0C02FF\n"), std::string::npos) << out;
        for (const std::string& row : {good.Port() + "  ok  ", otherId.Port() + "  failed (6)  the chip refused the ID",
                                       flipped.Port() + "  failed (8)  write: difference at 0C0123"})
            EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
        EXPECT_NE(out.find("2 of 3 ports failed: " + otherId.Port() + ", " + flipped.Port() + " (exit status 6)\n"),
                  std::string::npos)
            << out;
    }
    // A pattern names the fixture's ports; a port with other boards carries
    // their ID; with --json every line names its port.
    const Bench b("cli_gang_json");
    const Bench other("cli_gang_json_other");
    kvtest::SimServer first({"--link", b.folder + "/board-1", "--dump", b.dump});
    kvtest::SimServer second({"--link", b.folder + "/board-2", "--flip-read", "0C0201"});
    kvtest::SimServer third({"--id", wrongId, "--dump", other.dump});
    const auto run = b.Cli({"--port", b.folder + "/board-*", "--port", third.Port() + "=" + wrongId, "--id",
                            "11223344556677", "--json", "write", b.mot, "--erase"});
    first.Stop();
    third.Stop();
    ASSERT_FALSE(run.timedOut) << run.out << run.err;
    EXPECT_EQ(run.exitCode, 8) << run.out << run.err;
    ExpectFlashHoldsTheFile(b);
    ExpectFlashHoldsTheFile(other);
    std::istringstream lines(run.out);
    std::string line, last;
    std::set<std::string> ports;
    int untagged = 0;  // the gang's own exit line only
    while (std::getline(lines, line)) {
        EXPECT_TRUE(JsonCheck(line).IsObject()) << line;
        last = line;
        if (line.rfind("{\"port\":\"", 0) != 0) {
            ++untagged;
            continue;
        }
        ports.insert(line.substr(9, line.find('"', 9) - 9));
    }
    EXPECT_EQ(untagged, 1) << run.out;
    size_t exits = 0;  // a script that takes the first exit object reads the gang's
    for (size_t at = run.out.find("\"event\":\"exit\""); at != std::string::npos;
         at = run.out.find("\"event\":\"exit\"", at + 1))
        ++exits;
    EXPECT_EQ(exits, 1u) << run.out;
    EXPECT_EQ(ports, (std::set<std::string>{b.folder + "/board-1", b.folder + "/board-2", third.Port()}));
    EXPECT_EQ(last, "{\"event\":\"exit\",\"ok\":false,\"code\":8,\"failed\":[\"" + b.folder + "/board-2\"]}");
}

// A stop signal stops every port after its page: each link goes back to
// 9600 bps, each port's summary says it was stopped, and the exit status is
// 128 + the signal.
TEST(CliE2E, GangStopsEveryPortOnSigint) {
    const Bench a("cli_gang_stop_a");
    const Bench b("cli_gang_stop_b");
    const std::string file = a.folder + "/long.mot";
    WriteProgram(file, kBase, 0x4000);  // 64 pages: a few seconds at 40 ms a page
    kvtest::SimServer first({"--log", a.log});
    kvtest::SimServer second({"--log", b.log});
    const auto run = RunProgram(BuildPath("kelvane-cli"),
                                {"kelvane-cli", "--port", first.Port(), "--port", second.Port(), "--id",
                                 "11223344556677", "--json", "write", file},
                                a.Env(), "", kDeadlineMs, {"\"bytes_per_second\"", SIGINT});
    first.Stop();
    second.Stop();
    ASSERT_FALSE(run.timedOut) << run.out << run.err;
    EXPECT_EQ(run.exitCode, 128 + SIGINT) << run.out << run.err;
    for (const Bench* board : {&a, &b}) {
        const std::string port = board == &a ? first.Port() : second.Port();
        // A port still bringing its link up when the signal came stops before
        // its command begins.
        const std::string summary =
            "{\"port\":\"" + port + "\",\"event\":\"summary\",\"ok\":false,\"code\":130,\"error\":\"";
        const size_t at = run.out.find(summary);
        ASSERT_NE(at, std::string::npos) << run.out;
        const std::string line = run.out.substr(at, run.out.find('\n', at) - at);
        EXPECT_NE(line.find("stopped: SIGINT received\""), std::string::npos) << line;
        const auto log = kvtest::ReadByteLog(board->log);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), std::make_pair(0xB0, 9600u)) << "the link is back at 9600 bps";
    }
    EXPECT_EQ(run.out.find("\"done\":64"), std::string::npos) << run.out;
    // The stop is told at once, with what a second signal would do.
    EXPECT_NE(run.err.find("kelvane-cli: SIGINT received: the run stops after the exchange in hand"), std::string::npos)
        << run.err;
}

// A closed output (`| head -1`) is a stop like SIGTERM: the run ends after
// the page in hand, the link goes back to 9600 bps, and the exit status is
// 128 + SIGPIPE; nothing crashes or hangs writing to the closed pipe.
TEST(CliE2E, AClosedOutputStopsTheRunAndLeavesTheLinkAt9600) {
    const Bench b("cli_closed_output");
    const std::string file = b.folder + "/long.mot";
    WriteProgram(file, kBase, 0x4000);
    kvtest::SimServer sim({"--log", b.log, "--dump", b.dump});
    kvtest::SignalAt closeAfterFirstLine{"\n", 0, true};
    const auto run =
        RunProgram(BuildPath("kelvane-cli"),
                   {"kelvane-cli", "--port", sim.Port(), "--id", "11223344556677", "--json", "write", file}, b.Env(),
                   "", kDeadlineMs, closeAfterFirstLine);
    sim.Stop();
    ASSERT_FALSE(run.timedOut) << run.err;
    EXPECT_EQ(run.exitCode, 128 + SIGPIPE) << run.out << run.err;
    EXPECT_NE(run.err.find("kelvane-cli: the output was closed (SIGPIPE)"), std::string::npos) << run.err;
    const auto log = kvtest::ReadByteLog(b.log);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), std::make_pair(0xB0, 9600u)) << "the link is back at 9600 bps";
    kv::CMotFile flash;  // stopped long before the last page
    ASSERT_EQ(flash.LoadFile(b.dump), 1) << b.dump;
    EXPECT_NE(flash.Page(kBase / 256), nullptr);
    EXPECT_EQ(flash.Page((kBase + 0x3F00) / 256), nullptr);
}

}  // namespace

namespace {

// A run killed at once leaves vireo-sim at the link's rate; the next run
// finds the board there without a reset, and leaves it at 9600 bps.
TEST(CliE2E, TheNextRunFindsABoardThatAKilledRunLeftAtTheLinkRate) {
    const Bench b("cli_killed");
    const std::string file = b.folder + "/long.mot";
    WriteProgram(file, kBase, 0x4000);
    kvtest::SimServer sim({"--log", b.log});
    const auto killed =
        RunProgram(BuildPath("kelvane-cli"),
                   {"kelvane-cli", "--port", sim.Port(), "--id", "11223344556677", "--json", "write", file}, b.Env(),
                   "", kDeadlineMs, {"\"bytes_per_second\"", SIGKILL});
    ASSERT_FALSE(killed.timedOut) << killed.err;
    const auto cut = kvtest::ReadByteLog(b.log);
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(cut.back().second, 115200u) << "the killed run left the board at the link rate";

    const auto next =
        RunProgram(BuildPath("kelvane-cli"), {"kelvane-cli", "--port", sim.Port(), "--id", "11223344556677", "info"},
                   b.Env(), "", kDeadlineMs);
    sim.Stop();
    ASSERT_FALSE(next.timedOut) << next.err;
    EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
    const auto log = kvtest::ReadByteLog(b.log);
    EXPECT_EQ(log.back(), std::make_pair(0xB0, 9600u)) << "the link is back at 9600 bps";
}

}  // namespace

namespace {

// The lines where the simulator's log says a reset ended: "start program"
// or "start boot loader".
std::vector<std::string> Starts(const std::string& log) {
    std::ifstream in(log);
    std::vector<std::string> starts;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("start ", 0) == 0) starts.push_back(line.substr(6));
    return starts;
}

// Boards whose reset and boot-mode inputs hang on DTR and RTS, each behind
// vireo-sim's RFC 2217 face: the lines go through the port. Without the
// before-sequence the board runs its program and never answers; with it the
// boards of a gang enter the boot loader together, --after reset starts the
// program, and --retry brings a board whose link was lost back through the
// sequence. Page reads (code FF) and the blank bytes of the last page cross
// the telnet escaping both ways: the flash holds the file only if both undo it.
TEST(CliE2E, GangOnRfc2217EntersTheBootLoaderByTheModemLines) {
    const std::string before = "dtr=0,rts=1,wait=50,dtr=1,wait=50";
    const struct {
        const char* name;
        int boards;
        std::vector<std::string> simOptions;
        std::vector<std::string> cliOptions;
        int code;
        std::vector<std::string> starts;  // of each board, in order
    } cases[] = {
        {"no before-sequence", 1, {}, {}, 5, {}},
        {"a gang with --after reset", 2, {}, {"--before", before, "--after", "reset"}, 0, {"boot loader", "program"}},
        {"a lost page reply, --retry 1",
         1,
         {"--no-reply", "FF@2"},
         {"--before", before, "--retry", "1"},
         0,
         {"boot loader", "boot loader"}},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ++run;
        std::vector<Bench> boards;
        std::vector<std::unique_ptr<kvtest::SimServer>> sims;
        std::vector<std::string> args;
        for (int i = 0; i < c.boards; ++i) {
            boards.emplace_back("cli_lines_" + std::to_string(run) + "_" + std::to_string(i));
            std::vector<std::string> options = {"--rfc2217",       "0",      "--boot-lines",    "--log",
                                                boards.back().log, "--dump", boards.back().dump};
            options.insert(options.end(), c.simOptions.begin(), c.simOptions.end());
            sims.push_back(std::make_unique<kvtest::SimServer>(options));
            ASSERT_EQ(sims.back()->Port().rfind("rfc2217://127.0.0.1:", 0), 0u) << sims.back()->Port();
            args.insert(args.end(), {"--port", sims.back()->Port()});
        }
        args.insert(args.end(), c.cliOptions.begin(), c.cliOptions.end());
        args.insert(args.end(), {"--id", "11223344556677", "write", boards[0].mot, "--erase", "--verify"});
        const auto cli = boards[0].Cli(args);
        for (auto& sim : sims) sim->Stop();
        ASSERT_FALSE(cli.timedOut) << cli.out << cli.err;
        EXPECT_EQ(cli.exitCode, c.code) << cli.out << cli.err;
        for (const Bench& board : boards) {
            EXPECT_EQ(Starts(board.log), c.starts);
            if (c.code == 0) ExpectFlashHoldsTheFile(board);
        }
        if (c.cliOptions.size() > 2 && c.cliOptions[2] == "--retry") {
            EXPECT_NE(cli.out.find("(after 1 retry)"), std::string::npos) << cli.out;
        }
    }
}

}  // namespace
