// kelvane-cli's run on virtual time against the simulated chip: two runs on
// two links at once, each with its own channel, chip and answers, share
// nothing.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/cli_session.h"
#include "cli/traced_device.h"
#include "image/load_image_file.h"
#include "sim/chip.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/sim_peer.h"
#include "tests/support/virtual_clock.h"

namespace {

constexpr uint32_t kBase = 0x0C0000;

// One board on its own link: the chip, the device the run opens, the clock.
struct Board {
    explicit Board(sim::IdCode id, const std::string& version = "") : chip(Options(id, version)) {}
    explicit Board(const sim::Options& options) : chip(options) {}
    static sim::Options Options(sim::IdCode id, const std::string& version) {
        sim::Options o;
        o.id = id;
        if (!version.empty()) o.version = version;
        return o;
    }

    int Run(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"kelvane-cli", "--port", "COM1"};
        all.insert(all.end(), args.begin(), args.end());
        const auto parsed = kv::cli::ParseOptions(all);
        EXPECT_EQ(parsed.error, "");
        const auto makeDevice = [this]() -> std::unique_ptr<plat::ISerialDevice> {
            auto made = std::make_unique<kvtest::FakeSerialDevice>(clock);
            peer = std::make_unique<kvtest::SimPeer>(*made, chip);
            device = made.get();
            if (traced) return kv::cli::MakeTracedDevice(std::move(made), clock, err);
            return made;
        };
        return kv::cli::RunSession(
            parsed.options, kv::cli::SessionServices{clock, makeDevice, "/opt/kelvane/kelvane-cli", out, err, false,
                                                     nullptr, stopSignal});
    }

    kvtest::VirtualClock clock;
    sim::Chip chip;
    std::unique_ptr<kvtest::SimPeer> peer;
    kvtest::FakeSerialDevice* device = nullptr;  // the one the last run opened
    std::ostringstream out;
    std::ostringstream err;
    std::function<int()> stopSignal;
    bool traced = false;  // the serial traffic traced to err, as -v does
};

// A program file of whole pages at the given page addresses, every byte 0x5A.
std::string WritePagesAt(const std::string& name, const std::vector<uint32_t>& pageAddresses) {
    const std::string path = ::testing::TempDir() + "kv_cli_" + name + "_" + std::to_string(getpid()) + ".mot";
    std::ofstream out(path);
    for (uint32_t page : pageAddresses) {
        for (uint32_t at = 0; at < 256; at += 16) {
            const uint32_t address = page + at;
            unsigned sum = 20 + (address >> 16) + ((address >> 8) & 0xFF) + (address & 0xFF) + 16 * 0x5A;
            char line[64];
            std::snprintf(line, sizeof line, "S214%06X5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A%02X\n",
                          static_cast<unsigned>(address), ~sum & 0xFF);
            out << line;
        }
    }
    out << "S804000000FB\n";
    return path;
}

// A program file of `pages` whole pages at kBase, every byte 0x5A.
std::string WritePages(const std::string& name, int pages) {
    std::vector<uint32_t> at;
    for (int i = 0; i < pages; ++i) at.push_back(kBase + static_cast<uint32_t>(i) * 256);
    return WritePagesAt(name, at);
}

// The page frames of `code` (0x41 program, 0xFF read) the chip was sent, by page address.
std::vector<uint32_t> PageFrames(const sim::Chip& chip, uint8_t code) {
    std::vector<uint32_t> pages;
    const auto& got = chip.Transcript();
    for (size_t i = 0; i + 2 < got.size(); ++i)
        if (got[i].value == code && got[i + 2].value == 0x0C && got[i + 1].value < 0x10) {
            pages.push_back(0x0C0000u | static_cast<uint32_t>(got[i + 1].value) << 8);
            i += 2;
        }
    return pages;
}

TEST(CliSession, TwoLinksRunAtOnceAndShareNothing) {
    const std::string mot = ::testing::TempDir() + "kv_cli_session_" + std::to_string(getpid()) + ".mot";
    std::ofstream(mot) << "S2080C000001020304E1\nS804000000FB\n";
    Board good(sim::kDefaultId);
    Board locked({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    int goodCode = -1;
    int lockedCode = -1;
    const std::string log = ::testing::TempDir() + "kv_cli_session_" + std::to_string(getpid()) + ".jsonl";
    std::remove(log.c_str());
    const std::vector<std::string> args = {"--id", "11223344556677", "--log", log, "write", mot, "--erase"};
    std::thread first([&] { goodCode = good.Run(args); });
    std::thread second([&] { lockedCode = locked.Run(args); });
    first.join();
    second.join();
    std::remove(mot.c_str());

    // Both runs appended their record to the one log, a whole line each.
    std::ifstream logFile(log);
    std::vector<std::string> records;
    for (std::string line; std::getline(logFile, line);) records.push_back(line);
    std::remove(log.c_str());
    ASSERT_EQ(records.size(), 2u);
    std::sort(records.begin(), records.end(), [](const std::string& a, const std::string& b) {
        return a.find("\"ok\":true,\"code\":0,\"seconds\"") != std::string::npos &&
               b.find("\"ok\":true,\"code\":0,\"seconds\"") == std::string::npos;
    });
    const std::string image =
        "\"images\":\\[\\{\"file\":\"" + mot + "\",\"sha256\":\"[0-9a-f]{64}\",\"range\":\"0C0000-0C00FF\"\\}\\]";
    const std::string head =
        "\\{\"time\":\"20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-9:]{8}Z\",\"port\":\"COM1\",\"port_by_id\":\"\"," + image +
        ",\"loader_version\":\"VER.2.05\"";
    EXPECT_TRUE(
        std::regex_match(records[0], std::regex(head + ",\"results\":\\[\\{"
                                                       "\"command\":\"write\",\"ok\":true,\"code\":0,\"message\":"
                                                       "\"programmed and checked 0C0000-0C00FF\"\\}\\],\"ok\":true,"
                                                       "\"code\":0,\"seconds\":[0-9.]+,\"retries\":0\\}")))
        << records[0];
    EXPECT_TRUE(std::regex_match(records[1], std::regex(head + ",\"results\":\\[\\{"
                                                               "\"command\":\"\",\"ok\":false,\"code\":6,\"message\":"
                                                               "\"the chip refused the ID[^\"]*\"\\}\\],\"ok\":false,"
                                                               "\"code\":6,\"seconds\":[0-9.]+,\"retries\":0\\}")))
        << records[1];
    EXPECT_EQ(records[0].substr(records[0].find("sha256"), 75), records[1].substr(records[1].find("sha256"), 75));

    EXPECT_EQ(goodCode, 0) << good.out.str() << good.err.str();
    EXPECT_EQ(good.out.str(), "write: programmed and checked 0C0000-0C00FF\n");
    EXPECT_EQ(good.chip.Flash().Read(kBase), 0x01);
    EXPECT_EQ(good.chip.Flash().Read(kBase + 3), 0x04);
    EXPECT_EQ(good.chip.Baud(), 9600u);

    EXPECT_EQ(lockedCode, 6) << locked.out.str() << locked.err.str();
    EXPECT_EQ(locked.out.str(), "");
    EXPECT_NE(locked.err.str().find("refused the ID"), std::string::npos) << locked.err.str();
    EXPECT_EQ(locked.chip.Flash().Read(kBase), 0xFF);
    EXPECT_EQ(locked.chip.Baud(), 9600u);
}

// Plain write reads every byte back: on a board that does not hold what was
// sent it finds the difference; --no-verify leaves the check out and says
// so by its text.
TEST(CliSession, PlainWriteReadsBackUnlessToldNot) {
    const std::string mot = WritePages("verify", 1);
    const struct {
        bool sound;
        std::vector<std::string> write;
        int code;
        std::string out;
    } cases[] = {
        {true, {"write", mot}, 0, "write: programmed and checked 0C0000-0C00FF\n"},
        {false, {"write", mot}, 8, "write: difference at 0C0010: expected 5A, read A5\n"},
        {false, {"write", mot, "--no-verify"}, 0, "write: programmed 0C0000-0C00FF\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        sim::Options options = Board::Options(sim::kDefaultId, "");
        if (!c.sound) options.faults.flipOnReadAddress = kBase + 0x10;  // a byte that does not hold
        Board board(options);
        std::vector<std::string> args = {"--id", "11223344556677"};
        args.insert(args.end(), c.write.begin(), c.write.end());
        EXPECT_EQ(board.Run(args), c.code) << board.err.str();
        EXPECT_EQ(board.out.str(), c.out);
        EXPECT_EQ(board.chip.Baud(), 9600u);
    }
    std::remove(mot.c_str());
}

// Only the pages that hold data are programmed and compared, every byte of
// them; --blank-rest checks the rest of the range, and --erase leaves the
// same flash as programming every page did.
TEST(CliSession, SparseWorkTouchesOnlyThePagesWithData) {
    const std::string mot = WritePagesAt("sparse", {kBase, kBase + 0x300});
    const uint32_t gapByte = kBase + 0x150;  // not blank on the board
    const std::vector<uint32_t> dataPages = {kBase, kBase + 0x300};
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::vector<uint32_t> programmed;
        uint8_t gapAfter;
    } cases[] = {
        {{"write", mot}, 0, "write: programmed and checked 0C0000-0C03FF (2 pages)\n", dataPages, 0x00},
        {{"write", mot, "--blank-rest"}, 8, "write: not blank at 0C0150: expected FF, read 00\n", dataPages, 0x00},
        {{"write", mot, "--erase"}, 0, "write: programmed and checked 0C0000-0C03FF (2 pages)\n", dataPages, 0xFF},
        {{"verify", mot, "--range", "0C0000-0C02FF"},
         8,
         "verify: difference at 0C0000: expected 5A, read FF\n",
         {},
         0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        Board board(sim::kDefaultId);
        board.chip.Flash().Write(gapByte, 0x00);
        std::vector<std::string> args = {"--id", "11223344556677"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(board.Run(args), c.code) << board.err.str();
        EXPECT_EQ(board.out.str(), c.out);
        EXPECT_EQ(PageFrames(board.chip, 0x41), c.programmed);
        EXPECT_EQ(board.chip.Flash().Read(gapByte), c.gapAfter);
        if (c.code == 0) {
            EXPECT_EQ(PageFrames(board.chip, 0xFF), dataPages);  // each page with data read back once
            EXPECT_EQ(board.chip.Flash().Read(kBase + 0x3FF), 0x5A);
        }
    }
    // A board that holds the file and nothing else passes verify --blank-rest.
    Board board(sim::kDefaultId);
    board.chip.Flash().Write(kBase, std::vector<uint8_t>(256, 0x5A));
    board.chip.Flash().Write(kBase + 0x300, std::vector<uint8_t>(256, 0x5A));
    EXPECT_EQ(board.Run({"--id", "11223344556677", "--json", "verify", mot, "--blank-rest"}), 0) << board.err.str();
    EXPECT_NE(board.out.str().find("\"message\":\"no difference 0C0000-0C03FF (2 pages), the rest blank\","
                                   "\"range\":\"0C0000-0C03FF\",\"pages\":\"2\""),
              std::string::npos)
        << board.out.str();
    std::remove(mot.c_str());
}

// A board whose reset and boot-mode inputs hang on DTR and RTS: the
// before-sequence puts it into the boot loader, a retry uses it again, and
// --after reset starts the program without the return to 9600 bps.
TEST(CliSession, ModemLinesStartTheBoardWithoutAHand) {
    const std::string mot = WritePages("lines", 2);
    const std::string before = "dtr=0,rts=1,wait=100,dtr=1,wait=50";
    const struct {
        std::vector<std::string> args;
        bool lostPageReply;
        int code;
        int resets;
        bool inProgram;
        uint32_t lastBaud;  // of the last byte sent: 9600 after the return there
    } cases[] = {
        // Not woken at 9600 bps, nor found at the higher rates (19200 is the last asked).
        {{"info"}, false, 5, 0, true, 19200},
        {{"--before", before, "info"}, false, 0, 1, false, 9600},
        {{"--before", before, "--after", "reset", "write", mot}, false, 0, 2, true, 115200},
        {{"--before", before, "--retry", "1", "write", mot}, true, 0, 2, false, 9600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[c.args.size() - 1]);
        sim::Options o;
        o.bootLines = true;
        if (c.lostPageReply) o.faults.replies.push_back({sim::ReplyFault::Kind::Silent, 0xFF, 1, 0, {}});
        Board board(o);
        std::vector<std::string> args = {"--id", "11223344556677"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(board.Run(args), c.code) << board.out.str() << board.err.str();
        EXPECT_EQ(board.chip.ResetCount(), c.resets);
        EXPECT_EQ(board.chip.InProgram(), c.inProgram);
        EXPECT_EQ(board.chip.Transcript().back().baud, c.lastBaud);
        if (c.code == 0 && c.args.back() == mot) {
            EXPECT_EQ(board.chip.Flash().Read(kBase + 0x1FF), 0x5A);
        }
    }
    std::remove(mot.c_str());
}

// --json: every line one object, in UTF-8 whatever the loader's version
// text holds, keys in snake_case, one title per page loop, no rate before
// the loop ran long enough to measure one, and exactly one exit object.
TEST(CliSession, JsonLinesAreUtf8ObjectsWithSnakeCaseKeysAndOneExit) {
    const std::string mot = WritePages("json", 40);
    Board board(sim::kDefaultId, "VER\xff\xfe.05");
    ASSERT_EQ(board.Run({"--id", "11223344556677", "--json", "info", "write", mot}), 0) << board.err.str();
    std::remove(mot.c_str());
    const std::string out = board.out.str();

    for (unsigned char ch : out) EXPECT_LT(ch, 0x80) << out;  // the rest is ASCII: no raw byte got through
    EXPECT_NE(out.find("\"version\":\"VER\\ufffd\\ufffd.05\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"id_check\":\"Match\""), std::string::npos) << out;
    const std::regex key("\"([^\"]*)\":");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), key); it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(std::regex_match((*it)[1].str(), std::regex("[a-z0-9]+(_[a-z0-9]+)*"))) << (*it)[1];

    std::istringstream lines(out);
    std::string line, last;
    std::vector<std::string> progress;
    size_t exits = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(line.front() == '{' && line.back() == '}') << line;
        if (line.find("\"event\":\"exit\"") != std::string::npos) ++exits;
        if (line.find("\"event\":\"progress\"") != std::string::npos) progress.push_back(line);
        last = line;
    }
    EXPECT_EQ(exits, 1u);
    EXPECT_EQ(last, "{\"event\":\"exit\",\"ok\":true,\"code\":0}");
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(progress[0], "{\"event\":\"progress\",\"title\":\"Program\",\"pages\":40,\"done\":0}");
    EXPECT_EQ(progress[1], "{\"event\":\"progress\",\"title\":\"Program\",\"pages\":40,\"done\":1}");
    const auto readCheck = std::find_if(progress.begin(), progress.end(),
                                        [](const std::string& p) { return p.find("Read check") != std::string::npos; });
    ASSERT_NE(readCheck, progress.end());
    EXPECT_EQ(*readCheck, "{\"event\":\"progress\",\"title\":\"Read check\",\"pages\":40,\"done\":0}");
    const std::regex rate("\"bytes_per_second\":([0-9]+)");
    std::smatch measured;
    ASSERT_TRUE(std::regex_search(*(readCheck - 1), measured, rate)) << *(readCheck - 1);  // the loop's last step
    EXPECT_GT(std::stoul(measured[1]), 1000u);
    EXPECT_LT(std::stoul(measured[1]), 11520u);  // no more than the line carries
}

// -v: every trace line is stamped, the link's own lines (" old ") too.
TEST(CliSession, EveryTraceLineIsStamped) {
    Board board(sim::kDefaultId);
    board.traced = true;
    ASSERT_EQ(board.Run({"--id", "11223344556677", "-qv", "info"}), 0) << board.err.str();
    EXPECT_EQ(board.out.str(), "");
    std::istringstream lines(board.err.str());
    std::string line;
    size_t count = 0;
    bool old = false;
    for (; std::getline(lines, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, std::regex(" *[0-9]+\\.[0-9]{3} [^ ].*"))) << line;
        old = old || std::regex_match(line, std::regex(".* (old|new)"));
    }
    EXPECT_GT(count, 5u);
    EXPECT_TRUE(old) << board.err.str();
}

// read on virtual time: the read check's page-read frames, page after page,
// each request as soon as the last reply is in (no pause between pages);
// the file holds the one page with data and nothing else.
TEST(CliSession, ReadAsksPageAfterPageWithoutPausing) {
    const std::string out = ::testing::TempDir() + "kv_cli_read_" + std::to_string(getpid()) + ".hex";
    Board board(sim::kDefaultId);
    board.chip.Flash().Write(kBase + 0x1FE, {0x12, 0x34, 0x56, 0x78});  // across pages 1 and 2
    ASSERT_EQ(board.Run({"--id", "11223344556677", "-q", "read", out, "--range", "0C0000-0C03FF"}), 0)
        << board.err.str();

    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> atUs;
    const auto& got = board.chip.Transcript();
    for (size_t i = 0; i + 2 < got.size(); ++i) {
        if (got[i].value != 0xFF || got[i + 1].value > 3 || got[i + 2].value != 0x0C) continue;
        frames.push_back({got[i].value, got[i + 1].value, got[i + 2].value});
        atUs.push_back(got[i].timeUs);
    }
    const std::vector<std::vector<uint8_t>> expected = {
        {0xFF, 0x00, 0x0C}, {0xFF, 0x01, 0x0C}, {0xFF, 0x02, 0x0C}, {0xFF, 0x03, 0x0C}};
    EXPECT_EQ(frames, expected);
    constexpr uint64_t kReplyUs = 256 * 10 * 1000000ull / 115200;  // 22.2 ms
    for (size_t i = 1; i < atUs.size(); ++i) {
        EXPECT_GE(atUs[i] - atUs[i - 1], kReplyUs) << i;
        EXPECT_LT(atUs[i] - atUs[i - 1], kReplyUs + 5000) << i;  // a 10 ms pause would show
    }

    kv::CMotFile saved;
    const auto loaded = kv::LoadImageFile(out, saved);
    std::remove(out.c_str());
    ASSERT_TRUE(loaded.Loaded()) << kv::DescribeLoad(loaded);
    EXPECT_EQ(saved.PageCount(), 2u);
    uint8_t page[256];
    ASSERT_NE(saved.GetPage(page, kBase / 256 + 1), nullptr);
    EXPECT_EQ(page[0xFE], 0x12);
    EXPECT_EQ(page[0xFF], 0x34);
    ASSERT_NE(saved.GetPage(page, kBase / 256 + 2), nullptr);
    EXPECT_EQ(page[0], 0x56);
    EXPECT_EQ(page[1], 0x78);
    EXPECT_EQ(page[2], 0xFF);
}

// A stop signal during programming ends the run after the page in hand: the
// rest is not sent, the command says it was stopped, the link goes back to
// 9600 bps and the exit status is 128 + the signal.
TEST(CliSession, AStopSignalEndsTheRunAtAPageAndLeavesTheLinkAt9600) {
    const std::string mot = WritePages("stop", 4);
    Board board(sim::kDefaultId);
    // SIGINT once the second page holds its data.
    board.stopSignal = [&] { return board.chip.Flash().Read(kBase + 256) == 0x5A ? 2 : 0; };
    const int code = board.Run({"--id", "11223344556677", "write", mot});
    std::remove(mot.c_str());

    EXPECT_EQ(code, 130) << board.out.str() << board.err.str();
    EXPECT_EQ(board.out.str(), "write: stopped: SIGINT received\n");
    EXPECT_EQ(board.chip.Flash().Read(kBase + 256), 0x5A);
    EXPECT_EQ(board.chip.Flash().Read(kBase + 3 * 256), 0xFF);  // never sent
    EXPECT_EQ(board.chip.Baud(), 9600u);
}

// A stop during the synchronisation is told as a stop, not as a lost link.
TEST(CliSession, AStopDuringTheBringUpIsNoLostLink) {
    Board board(sim::kDefaultId);
    board.stopSignal = [&] { return board.chip.Transcript().empty() ? 0 : 2; };
    EXPECT_EQ(board.Run({"--id", "11223344556677", "info"}), 130);
    EXPECT_EQ(board.err.str(), "kelvane-cli: stopped: SIGINT received\n");
    EXPECT_EQ(board.chip.Baud(), 9600u);
}

// A stop signal during a read ends it after the page in hand: no further
// page is asked for, no file appears, and the link goes back to 9600 bps.
TEST(CliSession, AStopSignalDuringAReadLeavesNoFile) {
    const std::string out = ::testing::TempDir() + "kv_cli_read_stop_" + std::to_string(getpid()) + ".bin";
    std::remove(out.c_str());
    Board board(sim::kDefaultId);
    const auto asked = [&](uint8_t page) {
        const auto& got = board.chip.Transcript();
        for (size_t i = 0; i + 2 < got.size(); ++i)
            if (got[i].value == 0xFF && got[i + 1].value == page && got[i + 2].value == 0x0C) return true;
        return false;
    };
    board.stopSignal = [&] { return asked(1) ? 15 : 0; };  // SIGTERM once the second page was asked for
    const int code = board.Run({"--id", "11223344556677", "read", out, "--range", "0C0000-0C03FF"});

    EXPECT_EQ(code, 128 + 15) << board.out.str() << board.err.str();
    EXPECT_EQ(board.out.str(), "read: stopped: SIGTERM received\n");
    EXPECT_FALSE(asked(2));
    EXPECT_FALSE(std::ifstream(out).good());
    EXPECT_EQ(board.chip.Baud(), 9600u);
}

// Every command against every fault of the simulated chip: the exit status
// of its kind, no success reported where the chip does not hold what was
// asked, and the next run finds the board (the link was taken back to
// 9600 bps wherever the chip still answered).
TEST(CliSession, EachCommandAgainstEachFault) {
    const std::string mot = WritePages("faults", 4);
    const std::string out = ::testing::TempDir() + "kv_cli_faults_" + std::to_string(getpid()) + ".hex";
    using Kind = sim::ReplyFault::Kind;
    struct Fault {
        const char* name;
        std::function<void(sim::Options&)> set;
        bool stop = false;   // SIGTERM once the first page frame has come in
        bool retry = false;  // --retry 1
    };
    const Fault faults[] = {
        {"none", [](sim::Options&) {}},
        {"no page reply",
         [](sim::Options& o) {
             o.faults.replies.push_back({Kind::Silent, 0xFF, 1, 0, {}});
         }},
        {"cut page reply",
         [](sim::Options& o) {
             o.faults.replies.push_back({Kind::Cut, 0xFF, 1, 100, {}});
         }},
        {"stray byte before a page reply",
         [](sim::Options& o) {
             o.faults.replies.push_back({Kind::Stray, 0xFF, 1, 0, {0x00}});
         }},
        // Bring-up, the two reads around the ID check, then the probe before the command.
        {"no status reply",
         [](sim::Options& o) {
             o.faults.replies.push_back({Kind::Silent, 0x70, 4, 0, {}});
         }},
        {"program error", [](sim::Options& o) { o.faults.programErrorPage = kBase + 0x100; }},
        {"difference", [](sim::Options& o) { o.faults.flipOnReadAddress = kBase + 0x105; }},
        {"stop signal", [](sim::Options&) {}, true},
        // The lost link brought back and the command run again; an error
        // the chip reported is never retried.
        {"no page reply, --retry 1",
         [](sim::Options& o) {
             o.faults.replies.push_back({Kind::Silent, 0xFF, 1, 0, {}});
         },
         false, true},
        {"no status reply, --retry 1",
         [](sim::Options& o) {
             o.faults.replies.push_back({Kind::Silent, 0x70, 4, 0, {}});
         },
         false, true},
        {"program error, --retry 1", [](sim::Options& o) { o.faults.programErrorPage = kBase + 0x100; }, false, true},
    };
    struct Command {
        std::vector<std::string> args;
        std::array<int, 11> codes;  // by fault, in the order above
    };
    const Command commands[] = {
        {{"info"}, {0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0}},
        {{"unlock"}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{"erase"}, {0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0}},
        {{"write", mot, "--verify"}, {0, 5, 5, 5, 5, 7, 8, 143, 0, 0, 7}},
        // A program error comes before the differences it leaves.
        {{"write", mot, "--blank-check"}, {0, 5, 5, 5, 5, 7, 8, 143, 0, 0, 7}},
        {{"verify", mot}, {0, 5, 5, 5, 5, 0, 8, 143, 0, 0, 0}},
        {{"blank-check", "--range", "0C0400-0C07FF"}, {0, 5, 5, 5, 5, 0, 0, 143, 0, 0, 0}},
        {{"read", out, "--range", "0C0000-0C03FF"}, {0, 5, 5, 5, 5, 0, 0, 143, 0, 0, 0}},
        {{"download", mot}, {0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0}},
    };
    std::vector<uint8_t> pages(4 * 256, 0x5A);
    for (const Command& command : commands) {
        for (size_t f = 0; f < std::size(faults); ++f) {
            const Fault& fault = faults[f];
            SCOPED_TRACE(command.args[0] + " / " + fault.name);
            sim::Options o;
            fault.set(o);
            Board board(o);
            // The chip holds the file already (verify passes), the rest is blank.
            if (command.args[0] != "write") board.chip.Flash().Write(kBase, pages);
            if (fault.stop) {
                board.stopSignal = [&board] {
                    const auto& got = board.chip.Transcript();
                    for (size_t i = 0; i + 2 < got.size(); ++i)
                        if ((got[i].value == 0x41 || got[i].value == 0xFF) && got[i + 1].value < 0x10 &&
                            got[i + 2].value == 0x0C)
                            return 15;
                    return 0;
                };
            }
            std::vector<std::string> args = {"--id", "11223344556677", "--json"};
            if (fault.retry) args.insert(args.end(), {"--retry", "1"});
            args.insert(args.end(), command.args.begin(), command.args.end());
            std::remove(out.c_str());
            const int code = board.Run(args);
            EXPECT_EQ(code, command.codes[f]) << board.out.str() << board.err.str();
            if (fault.retry) {
                // Retried where the same fault without --retry lost the link.
                const size_t plain = f == 8 ? 1 : f == 9 ? 4 : 5;  // the same fault without --retry
                const int retried = command.codes[plain] == 5 ? 1 : 0;
                EXPECT_NE(board.out.str().find("\"retries\":" + std::to_string(retried) + "}\n"), std::string::npos)
                    << board.out.str();
            }
            if (code != 0) {
                EXPECT_EQ(board.out.str().find("\"ok\":true"), std::string::npos) << board.out.str();
                if (command.args[0] == "read") {
                    EXPECT_FALSE(std::ifstream(out).good());
                }
            }
            board.out.str("");
            board.stopSignal = nullptr;
            board.chip.MutableFaults() = sim::Faults{};
            EXPECT_EQ(board.Run({"--id", "11223344556677", "-q", "info"}), 0) << board.err.str();
        }
    }
    std::remove(mot.c_str());
    std::remove(out.c_str());
}

// An adapter pulled out in the middle of a write: the port went away, which
// the run says, and it waits for nothing more.
TEST(CliSession, AnUnpluggedAdapterIsNamed) {
    const std::string mot = WritePages("unplug", 4);
    Board board(sim::kDefaultId);
    board.stopSignal = [&board] {
        if (board.chip.Flash().Read(kBase + 256) == 0x5A) board.device->Unplug();
        return 0;
    };
    EXPECT_EQ(board.Run({"--id", "11223344556677", "write", mot}), 5);
    std::remove(mot.c_str());
    EXPECT_NE(board.out.str().find("write: the port COM1 went away (unplugged)"), std::string::npos)
        << board.out.str() << board.err.str();

    // The board stayed at the link's rate; the next run finds it there
    // without a reset and leaves it at 9600 bps.
    EXPECT_EQ(board.chip.Baud(), 115200u);
    board.stopSignal = nullptr;
    board.out.str("");
    EXPECT_EQ(board.Run({"--id", "11223344556677", "info"}), 0) << board.out.str() << board.err.str();
    EXPECT_EQ(board.chip.ResetCount(), 0);
    EXPECT_EQ(board.chip.Baud(), 9600u);
}

// What the program file brings along is found and checked before the port
// opens: the ".id" file beside any program file, its faults by line, data
// outside the flash of the MCU type; a read without a range reads that flash.
TEST(CliSession, IdFilesFlashAndReadRangeFollowTheMcuType) {
    const std::string dir = ::testing::TempDir() + "kv_cli_mcu_" + std::to_string(getpid());
    const std::string srec = dir + ".srec";
    std::ofstream(srec) << "S2080C000001020304E1\nS804000000FB\n";
    const std::string outside = dir + "_outside.mot";
    std::ofstream(outside) << "S208401000010203049D\nS804000000FB\n";
    const std::string idFile = dir + ".id";
    const std::string out = dir + ".hex";
    struct Case {
        const char* name;
        std::string id;  // the ID file beside the .srec; empty: none
        std::vector<std::string> args;
        int code;
        std::string says;
    } cases[] = {
        {"the .id beside a .srec",
         "FFFDF 11\nFFFE3 22\nFFFEB 33\nFFFEF 44\nFFFF3 55\nFFFF7 66\nFFFFB 77\n",
         {"unlock", "write", srec},
         0,
         ""},
        {"no ID file names the one looked for", "", {"write", srec}, 2, idFile + " not found"},
        {"a bad ID byte names its line", "FFFDF 11\nFFFE3 2G\n", {"write", srec}, 3, "line 2"},
        {"data outside the flash", "", {"--id", "11223344556677", "write", outside}, 3, "401000"},
        {"a Wren's read", "", {"--id", "11223344556677", "--mcu", "wren", "read", out}, 0, "000000-00FFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(idFile.c_str());
        if (!c.id.empty()) std::ofstream(idFile) << c.id;
        sim::Options o;
        if (std::find(c.args.begin(), c.args.end(), "wren") != c.args.end()) o.mcu = sim::McuType::Wren;
        Board board(o);
        EXPECT_EQ(board.Run(c.args), c.code) << board.out.str() << board.err.str();
        EXPECT_NE((board.out.str() + board.err.str()).find(c.says), std::string::npos)
            << board.out.str() << board.err.str();
        if (c.code != 0) {
            EXPECT_TRUE(board.chip.Transcript().empty());  // refused before the port opened
        }
    }
    for (const auto& f : {srec, outside, idFile, out}) std::remove(f.c_str());
}

}  // namespace
