// kelvane-cli's run on virtual time against the simulated chip: two runs on
// two links at once, each with its own channel, chip and answers, share
// nothing.
#include <gtest/gtest.h>

#include <fstream>
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
        return kv::cli::RunSession(parsed.options,
                                   kv::cli::SessionServices{clock, makeDevice, "/opt/kelvane/kelvane-cli", out, err});
    }

    kvtest::VirtualClock clock;
    sim::Chip chip;
    std::unique_ptr<kvtest::SimPeer> peer;
    std::ostringstream out;
    std::ostringstream err;
};

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

}  // namespace
