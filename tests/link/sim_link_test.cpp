// Bring-up, baud-rate moves, the shared exchanges and recovery against the
// simulated chip, with wire timing on.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "app/dialogs/set_comm_dlg.h"
#include "link/check_memory_cmd.h"
#include "tests/link/link_rig.h"
#include "tests/support/sim_peer.h"

namespace {

using kv::Edition;
using kvtest::LinkRig;

struct SimRig : LinkRig {
    explicit SimRig(sim::Options options, Edition edition = Edition::Kelvane)
        : LinkRig(edition), chip(std::move(options)), peer(Dev(), chip) {}
    sim::Chip chip;
    kvtest::SimPeer peer;
};

sim::Options Flash() {
    sim::Options o;
    o.mode = sim::Mode::Flash;
    return o;
}

TEST(SimLink, KelvaneBringUpMovesToEveryRateAndBack) {
    for (uint32_t baud : {19200u, 38400u, 57600u, 115200u}) {
        SimRig rig(Flash());
        rig.Profile().Set("mode_info", "First_data", "-Z");
        ASSERT_EQ(rig.App().Synchronise(), 1);
        EXPECT_TRUE(rig.chip.Synchronised());
        EXPECT_EQ(rig.App().RestoreBaudRate(baud, kv::Operation::Link, kv::Phase::RestoreRate), baud);
        EXPECT_EQ(rig.chip.Baud(), baud);
        EXPECT_EQ(rig.Dev().Line().baud, baud);

        kv::CCheckMemorryCmd cmd(rig.App());
        EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), "erase"), 0);
        rig.App().ResetTo9600();
        EXPECT_EQ(rig.chip.Baud(), 9600u);
        EXPECT_EQ(rig.Dev().Line().baud, 9600u);
        EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
    }
}

TEST(SimLink, ReadPageFromTheChip) {
    SimRig rig(Flash());
    ASSERT_EQ(rig.App().Synchronise(), 1);
    ASSERT_EQ(rig.App().RestoreBaudRate(57600, kv::Operation::Link, kv::Phase::RestoreRate), 57600u);
    kv::CCheckMemorryCmd cmd(rig.App());
    std::array<uint8_t, 256> page{};
    ASSERT_EQ(cmd.ReadPage(rig.Channel(), page.data(), 0x0FF000), 1);
    for (uint8_t b : page) EXPECT_EQ(b, 0xFF);  // blank flash
}

TEST(SimLink, SilentStatusRecoversAndTheLinkWorksAgain) {
    SimRig rig(Flash());
    ASSERT_EQ(rig.App().Synchronise(), 1);
    ASSERT_EQ(rig.App().RestoreBaudRate(38400, kv::Operation::Link, kv::Phase::RestoreRate), 38400u);
    sim::ReplyFault silent;
    silent.code = 0x70;
    silent.nth = 1;
    rig.chip.AddReplyFault(silent);
    // The board has been reset (RESET pushed) by the time the user presses OK.
    rig.Ui().Answer(tk::IDOK, "Timeout.\nPush RESET.\nPort: COM1").Type(kv::CSetCommDlg::IDC_BAUD_RATE, "57600");
    rig.Ui().Press(tk::IDOK);
    kv::CCommand cmd(rig.App());
    rig.chip.Reset();
    EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), "program"), 1);
    EXPECT_EQ(rig.chip.Baud(), 57600u);
    EXPECT_EQ(rig.App().linkReady, 1);
    EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), "program"), 0);
    EXPECT_TRUE(rig.Ui().Errors().empty()) << rig.Ui().TranscriptText();
}

TEST(SimLink, KelvliteWithTheDeliveredFirmware) {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    kv::RoutineTable table;
    bool opened = false;
    if (!dir || !kv::LoadSequencerFirmware(std::string(dir) + "/firm.mot", table, opened))
        GTEST_SKIP() << "firm.mot not found beside the build";
    sim::Options o;
    o.mode = sim::Mode::Lite;
    o.firmware = table;
    SimRig rig(o, Edition::Kelvlite);
    rig.App().Routines() = table;

    ASSERT_EQ(rig.App().Synchronise(), 1);
    EXPECT_EQ(rig.App().RestoreBaudRate(38400, kv::Operation::Link, kv::Phase::RestoreRate), 38400u);
    EXPECT_EQ(rig.chip.Baud(), 38400u);
    kv::CCheckMemorryCmd cmd(rig.App());
    EXPECT_EQ(cmd.CheckStatusError(rig.Channel(), "erase"), 0);
    std::array<uint8_t, 256> page{};
    EXPECT_EQ(cmd.ReadPage(rig.Channel(), page.data(), 0x00F000), 1);
    EXPECT_EQ(rig.App().LoadRoutine(0x50), 1);
    rig.App().ResetTo9600();
    EXPECT_EQ(rig.chip.Baud(), 9600u);
    EXPECT_TRUE(rig.Messages().empty()) << rig.Ui().TranscriptText();
}

}  // namespace
