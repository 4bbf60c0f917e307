#pragma once
// Rigs for the combined sequences and the download: the application on
// virtual time against a scripted loader or the simulated chip, and memory
// images built from hand-made S-records.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/set_address_dlg.h"
#include "app/kelvix_app.h"
#include "tests/link/link_rig.h"
#include "tests/support/sim_peer.h"

namespace kvtest {

// Data at an address, for an image.
using Chunk = std::pair<uint32_t, std::vector<uint8_t>>;

inline std::string Hex2(unsigned v) {
    static const char* digits = "0123456789ABCDEF";
    return {digits[(v >> 4) & 0xF], digits[v & 0xF]};
}

// S2 records of at most 32 data bytes each, and the S8 termination.
inline std::string SRecords(const std::vector<Chunk>& chunks) {
    std::string text;
    for (const auto& [base, data] : chunks) {
        for (size_t at = 0; at < data.size(); at += 32) {
            const size_t n = std::min<size_t>(32, data.size() - at);
            const uint32_t address = base + static_cast<uint32_t>(at);
            unsigned sum = static_cast<unsigned>(n + 4);
            std::string line = "S2" + Hex2(sum);
            for (int shift : {16, 8, 0}) {
                const unsigned b = (address >> shift) & 0xFF;
                sum += b;
                line += Hex2(b);
            }
            for (size_t i = 0; i < n; ++i) {
                sum += data[at + i];
                line += Hex2(data[at + i]);
            }
            text += line + Hex2(~sum & 0xFF) + "\n";
        }
    }
    return text + "S804000000FB\n";
}

inline void LoadImage(kv::CKelvixApp& app, const std::vector<Chunk>& chunks) {
    std::istringstream in(SRecords(chunks));
    app.Image().LoadStream(in);
}

// A page of bytes that differ from each other and from 0xFF.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>((seed + i * 7) % 0xFF);
    return v;
}

// Confirms the address dialog with the given texts (none: unchanged).
inline void ConfirmRange(tk::ScriptedUi& ui, const std::string& start = "", const std::string& end = "") {
    if (!start.empty()) ui.Type(kv::CSetAddressDlg::IDC_START, start);
    if (!end.empty()) ui.Type(kv::CSetAddressDlg::IDC_END, end);
    ui.Press(tk::IDOK);
}

// The application against the simulated chip.
struct SimRig : LinkRig {
    SimRig(sim::Options options, kv::Edition edition, int programMode = 0)
        : LinkRig(edition, programMode), chip(std::move(options)), peer(Dev(), chip) {
        if (edition == kv::Edition::Kelvlite) App().Routines() = chip.Settings().firmware;
    }
    // Synchronises and unlocks the chip as start-up and the ID check would.
    void Unlock();

    sim::Chip chip;
    SimPeer peer;
};

}  // namespace kvtest

namespace kvtest {

// The flash-mode chip without wire timing: the sequences' page counts stay
// quick to run, the protocol is the same.
inline sim::Options FlashChip() {
    sim::Options o;
    o.mode = sim::Mode::Flash;
    o.wireTiming = false;
    return o;
}

// The sequencer chip with the delivered firmware; none when firm.mot is not
// beside the build.
std::optional<sim::Options> LiteChip();

// The progress windows shown, in order: their title and how many pages moved
// the bar (Prepare's first position not counted).
struct WindowRun {
    std::string title;
    size_t pages;
};
std::vector<WindowRun> ProgressWindows(const tk::ScriptedUi& ui);

// kelvane's frames by command code: (code, address bytes) of each page
// program, page read and block erase frame, in order.
struct Frame {
    uint8_t code;
    uint32_t page;  // address of page and block frames
};
std::vector<Frame> KelvaneFrames(const std::vector<uint8_t>& bytes);
size_t CountFrames(const std::vector<Frame>& frames, uint8_t code);

}  // namespace kvtest
