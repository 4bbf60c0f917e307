#pragma once
// The application against the simulated chip on virtual time, for the ID
// and file dialogs. kelvlite runs with routine blocks of its own that the
// simulated sequencer knows: slot s is the 3-byte block 00 01 (0x40 + s).
#include <string>
#include <vector>

#include "app/dialogs/id_check_dlg.h"
#include "tests/image/image_test_util.h"
#include "tests/link/link_rig.h"
#include "tests/support/sim_peer.h"

namespace kvtest {

inline kv::RoutineTable TestRoutines() {
    kv::RoutineTable table;
    for (int slot = 0; slot < kv::RoutineTable::kSlots; ++slot) {
        auto& s = table.slots[static_cast<size_t>(slot)];
        s.bytes[0] = 0x00;
        s.bytes[1] = 0x01;
        s.bytes[2] = static_cast<uint8_t>(0x40 + slot);
        s.length = 3;
    }
    table.loaded = true;
    return table;
}

inline std::vector<uint8_t> Routine(int slot) { return {0x00, 0x01, static_cast<uint8_t>(0x40 + slot)}; }

inline sim::Options ChipOptions(kv::Edition edition, sim::McuType mcu = sim::McuType::VireoM) {
    sim::Options o;
    o.mode = edition == kv::Edition::Kelvlite ? sim::Mode::Lite : sim::Mode::Flash;
    o.mcu = mcu;
    if (edition == kv::Edition::Kelvlite) o.firmware = TestRoutines();
    return o;
}

struct IdRig : LinkRig {
    explicit IdRig(kv::Edition edition, sim::Options options)
        : LinkRig(edition), chip(std::move(options)), peer(Dev(), chip) {
        App().Routines() = TestRoutines();
        if (App().Synchronise() != 1) ADD_FAILURE() << "the simulated chip did not synchronise";
        App().firstRun = 1;
        mark = Dev().SentBytes().size();
    }
    explicit IdRig(kv::Edition edition = kv::Edition::Kelvane, sim::McuType mcu = sim::McuType::VireoM)
        : IdRig(edition, ChipOptions(edition, mcu)) {}

    // Bytes sent since the rig was set up (or since the last Mark).
    std::vector<uint8_t> Sent() const { return SentFrom(mark); }
    void Mark() { mark = Dev().SentBytes().size(); }

    int RunIdCheck() {
        kv::CIDCheckDlg dlg(App());
        const int result = dlg.DoModal();
        mcuType = dlg.McuType();
        ids = dlg.Ids();
        filePath = dlg.FilePath();
        return result;
    }
    // Types the seven ID texts into the ID check dialog.
    void TypeIds(const std::vector<std::string>& texts) {
        for (size_t i = 0; i < texts.size(); ++i) Ui().Type(kv::CIDCheckDlg::IDC_ID1 + static_cast<int>(i), texts[i]);
    }

    sim::Chip chip;
    SimPeer peer;
    size_t mark = 0;
    ScratchDir dir;
    int mcuType = -2;
    kv::CIDCheckDlg::IdTexts ids;
    std::string filePath;
};

// A program file with one data byte at each address.
inline std::string ProgramText(std::initializer_list<uint32_t> addresses) {
    std::string text = "S00600004844521B\n";
    for (uint32_t a : addresses) text += Record(a > 0xFFFF ? 2 : 1, a, {0xA5}) + "\n";
    return text + "S9030000FC\n";
}

}  // namespace kvtest
