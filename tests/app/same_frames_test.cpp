// One write, two front ends: kelvane's panel and kelvane-cli send the chip
// the same ID check and the same page frames.
#include <gtest/gtest.h>

#include <unistd.h>
#include <fstream>
#include <sstream>

#include "app/dialogs/id_check_dlg.h"
#include "app/kelvix_dlg.h"
#include "cli/cli_session.h"
#include "tests/app/app_rig.h"

namespace {

constexpr uint32_t kBase = 0x0C0000;

// The frames of the chip's received bytes that carry data: the ID check
// (0xF5, 12 bytes) and the page programs (0x41, 259 bytes), in order.
std::vector<std::vector<uint8_t>> DataFrames(const sim::Chip& chip) {
    std::vector<uint8_t> bytes;
    for (const auto& b : chip.Transcript()) bytes.push_back(b.value);
    std::vector<std::vector<uint8_t>> frames;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = bytes[i] == 0x41 ? 259 : bytes[i] == 0xF5 ? 12 : 1;
        if (length > 1 && i + length <= bytes.size()) {
            frames.emplace_back(bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i + length));
            i += length;
        } else {
            ++i;
        }
    }
    return frames;
}

TEST(SameFrames, APanelWriteAndACommandLineWriteSendTheSamePageFrames) {
    const std::string mot = ::testing::TempDir() + "kv_same_frames_" + std::to_string(getpid()) + ".mot";
    {
        std::ofstream out(mot);
        for (uint32_t at = 0; at < 0x300; at += 16) {
            const uint32_t address = kBase + at;
            unsigned sum = 20 + (address >> 16) + ((address >> 8) & 0xFF) + (address & 0xFF);
            std::ostringstream line;
            line << "S214" << std::hex << std::uppercase;
            line.width(6);
            line.fill('0');
            line << address;
            for (unsigned i = 0; i < 16; ++i) {
                const unsigned b = (at + i * 7) & 0xFF;
                sum += b;
                line.width(2);
                line << b;
            }
            line.width(2);
            line << (~sum & 0xFF);
            out << line.str() << "\n";
        }
        out << "S804000000FB\n";
    }

    // kelvane: start dialog, ID check with the file and the ID, Program... on
    // the panel over the offered range, then Exit.
    kvtest::AppRig panel(kv::Edition::Kelvane, kvtest::FlashChip());
    panel.StoreCommState(115200);
    auto& ui = panel.Ui();
    ui.Press(tk::IDOK);
    ui.Type(kv::CIDCheckDlg::IDC_FILE_PATH, mot);
    const char* id[] = {"11", "22", "33", "44", "55", "66", "77"};
    for (int i = 0; i < 7; ++i) ui.Type(kv::CIDCheckDlg::IDC_ID1 + i, id[i]);
    ui.Press(tk::IDOK);
    ui.Press(kv::CKelvixDlg::IDC_PROGRAM).Press(tk::IDOK).Press(tk::IDOK).Answer(tk::IDOK, "Program OK.");
    ui.Press(kv::CKelvixDlg::IDC_EXIT);
    EXPECT_EQ(panel.Run({"kelvane"}), 0);
    EXPECT_TRUE(ui.Errors().empty()) << ui.TranscriptText();

    // kelvane-cli: the same write without its read-back.
    kvtest::VirtualClock clock;
    sim::Chip chip(kvtest::FlashChip());
    std::unique_ptr<kvtest::SimPeer> peer;
    std::ostringstream out;
    std::ostringstream err;
    const auto parsed =
        kv::cli::ParseOptions({"kelvane-cli", "--port", "COM1", "--id", "11223344556677", "write", mot});
    ASSERT_EQ(parsed.error, "");
    const auto makeDevice = [&]() -> std::unique_ptr<plat::ISerialDevice> {
        auto device = std::make_unique<kvtest::FakeSerialDevice>(clock);
        peer = std::make_unique<kvtest::SimPeer>(*device, chip);
        return device;
    };
    kv::cli::SessionServices services{clock, makeDevice, "/opt/kelvane/kelvane-cli", out, err, false, nullptr, {}};
    EXPECT_EQ(kv::cli::RunSession(parsed.options, services), 0) << out.str() << err.str();
    std::remove(mot.c_str());

    const auto frames = DataFrames(panel.Chip());
    ASSERT_EQ(frames.size(), 4u);  // the ID check and three pages
    EXPECT_EQ(frames, DataFrames(chip));
}

}  // namespace
