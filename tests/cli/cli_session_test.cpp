// kelvane-cli's run on virtual time against the simulated chip: two runs on
// two links at once, each with its own channel, chip and answers, share
// nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "cli/cli_session.h"
#include "sim/chip.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/sim_peer.h"
#include "tests/support/virtual_clock.h"

namespace {

constexpr uint32_t kBase = 0x0C0000;

// One board on its own link: the chip, the device the run opens, the clock.
struct Board {
    explicit Board(sim::IdCode id) : chip(Options(id)) {}
    static sim::Options Options(sim::IdCode id) {
        sim::Options o;
        o.id = id;
        return o;
    }

    int Run(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"kelvane-cli", "--port", "COM1"};
        all.insert(all.end(), args.begin(), args.end());
        const auto parsed = kv::cli::ParseOptions(all);
        EXPECT_EQ(parsed.error, "");
        const auto makeDevice = [this]() -> std::unique_ptr<plat::ISerialDevice> {
            auto device = std::make_unique<kvtest::FakeSerialDevice>(clock);
            peer = std::make_unique<kvtest::SimPeer>(*device, chip);
            return device;
        };
        return kv::cli::RunSession(parsed.options, kv::cli::SessionServices{clock, makeDevice, "/opt/kelvane/kelvane-cli",
                                                                            out, err, false, nullptr, stopSignal});
    }

    kvtest::VirtualClock clock;
    sim::Chip chip;
    std::unique_ptr<kvtest::SimPeer> peer;
    std::ostringstream out;
    std::ostringstream err;
    std::function<int()> stopSignal;
};

// A program file of `pages` whole pages at kBase, every byte 0x5A.
std::string WritePages(const std::string& name, int pages) {
    const std::string path = ::testing::TempDir() + "kv_cli_" + name + "_" + std::to_string(getpid()) + ".mot";
    std::ofstream out(path);
    for (uint32_t at = 0; at < static_cast<uint32_t>(pages) * 256; at += 16) {
        const uint32_t address = kBase + at;
        unsigned sum = 20 + (address >> 16) + ((address >> 8) & 0xFF) + (address & 0xFF) + 16 * 0x5A;
        char line[64];
        std::snprintf(line, sizeof line, "S214%06X5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A%02X\n",
                      static_cast<unsigned>(address), ~sum & 0xFF);
        out << line;
    }
    out << "S804000000FB\n";
    return path;
}

TEST(CliSession, TwoLinksRunAtOnceAndShareNothing) {
    const std::string mot = ::testing::TempDir() + "kv_cli_session_" + std::to_string(getpid()) + ".mot";
    std::ofstream(mot) << "S2080C000001020304E1\nS804000000FB\n";
    Board good(sim::kDefaultId);
    Board locked({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    int goodCode = -1;
    int lockedCode = -1;
    const std::vector<std::string> args = {"--id", "11223344556677", "write", mot, "--erase"};
    std::thread first([&] { goodCode = good.Run(args); });
    std::thread second([&] { lockedCode = locked.Run(args); });
    first.join();
    second.join();
    std::remove(mot.c_str());

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

}  // namespace
