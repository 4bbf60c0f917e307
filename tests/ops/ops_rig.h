#pragma once
// Rigs for the operation tests: the link rig with a page memory that answers
// page reads (kelvane and kelvlite), the rig wired to the simulated chip, a
// stand-in panel that runs an operation while it is the active window, and
// helpers that cut the sent bytes into frames.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialogs/pre_write_dlg.h"
#include "app/dialogs/set_address_dlg.h"
#include "res/templates.h"
#include "tests/link/link_rig.h"
#include "tests/support/sim_peer.h"

namespace kvtest {

// The scripted loader, with a page memory for page reads (blank unless set)
// and the acknowledgement that kelvlite's sequencer gives after a page frame.
struct MemoryRig : LinkRig {
    explicit MemoryRig(kv::Edition edition = kv::Edition::Kelvane) : LinkRig(edition) {
        Dev().SetResponder([this](FakeSerialDevice& d, const std::vector<uint8_t>& block) {
            const bool lite = App().IsLite();
            if (block.size() == 3 && block[0] == 0xFF) {
                if (!answerPageReads) return;
                const uint32_t page = (uint32_t{block[2]} << 16) | (uint32_t{block[1]} << 8);
                std::vector<uint8_t> bytes(256, 0xFF);
                for (uint32_t i = 0; i < 256; ++i) {
                    auto it = memory.find(page + i);
                    if (it != memory.end()) bytes[i] = it->second;
                }
                d.Deliver(bytes, d.Clock().Now() + 1);
                return;
            }
            if (block.size() == 259 && block[0] == 0x41) {
                if (lite && ackPageFrames) d.Deliver({0x13, 0x06, 0x11}, d.Clock().Now() + 1);
                return;
            }
            Loader()(d, block);
        });
    }
    std::map<uint32_t, uint8_t> memory;  // bytes that are not 0xFF
    bool answerPageReads = true;
    bool ackPageFrames = true;
};

// The link rig on the simulated chip (the boot loader needs no ID check).
struct SimRig : LinkRig {
    explicit SimRig(sim::Options options = BootLoader())
        : LinkRig(kv::Edition::Kelvane), chip(std::move(options)), peer(Dev(), chip) {
        EXPECT_EQ(App().Synchronise(), 1);
        Dev().SetWriteWaitsForWire(true);
        Dev().ClearSent();
    }
    static sim::Options BootLoader() {
        sim::Options o;
        o.mode = sim::Mode::Bootloader;
        return o;
    }
    sim::Chip chip;
    SimPeer peer;
};

// Stands in for the main panel: while it is open it is the front end's
// active window; pressing `button` runs `action`.
class StandInPanel : public tk::Dialog {
public:
    StandInPanel(kv::CKelvixApp& app, int button, std::function<void()> action)
        : tk::Dialog(app.Ui(), kv::PanelTemplate(app.edition())), button_(button), action_(std::move(action)) {}

protected:
    void OnCommand(int id) override {
        if (id == button_)
            action_();
        else
            tk::Dialog::OnCommand(id);
    }

private:
    int button_;
    std::function<void()> action_;
};

// Answers the "Input Address" dialog with the given texts and OK.
inline void EnterRange(tk::ScriptedUi& ui, const std::string& start, const std::string& end) {
    ui.Type(kv::CSetAddressDlg::IDC_START, start).Type(kv::CSetAddressDlg::IDC_END, end).Press(tk::IDOK);
}

// The sent bytes cut into kelvane's frames by their command codes.
inline std::vector<std::vector<uint8_t>> Frames(const std::vector<uint8_t>& bytes) {
    std::vector<std::vector<uint8_t>> frames;
    size_t i = 0;
    while (i < bytes.size()) {
        size_t length = 1;
        switch (bytes[i]) {
            case 0x41: length = 259; break;
            case 0x20: length = 4; break;
            case 0xA7: length = 2; break;
            case 0xFF: length = 3; break;
            case 0xF5: length = 12; break;
            default: break;
        }
        length = std::min(length, bytes.size() - i);
        frames.emplace_back(bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i + length));
        i += length;
    }
    return frames;
}

// The frames' first bytes, with the address bytes of page and erase frames:
// "50 41:000C 70" reads more easily in a failed expectation than bytes.
inline std::string FrameSummary(const std::vector<uint8_t>& bytes) {
    std::ostringstream out;
    char hex[8];
    for (const auto& f : Frames(bytes)) {
        if (out.tellp() > 0) out << ' ';
        std::snprintf(hex, sizeof hex, "%02X", f[0]);
        out << hex;
        if ((f[0] == 0x41 || f[0] == 0x20 || f[0] == 0xFF) && f.size() >= 3) {
            std::snprintf(hex, sizeof hex, ":%02X%02X", f[1], f[2]);
            out << hex;
        }
        if (f[0] == 0x20 && f.size() == 4) {
            std::snprintf(hex, sizeof hex, ",%02X", f[3]);
            out << hex;
        }
        if (f[0] == 0xA7 && f.size() == 2) {
            std::snprintf(hex, sizeof hex, ":%02X", f[1]);
            out << hex;
        }
    }
    return out.str();
}

// Loads the image with S2 records of the given blocks of bytes.
inline void LoadImage(kv::CMotFile& image, const std::map<uint32_t, std::vector<uint8_t>>& blocks) {
    std::string text;
    char hex[4];
    for (const auto& [base, bytes] : blocks) {
        for (size_t at = 0; at < bytes.size(); at += 32) {
            const size_t n = std::min<size_t>(32, bytes.size() - at);
            const uint32_t address = base + static_cast<uint32_t>(at);
            std::vector<uint8_t> record = {static_cast<uint8_t>(n + 4), static_cast<uint8_t>(address >> 16),
                                           static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
            record.insert(record.end(), bytes.begin() + static_cast<long>(at),
                          bytes.begin() + static_cast<long>(at + n));
            unsigned sum = 0;
            for (uint8_t b : record) sum += b;
            record.push_back(static_cast<uint8_t>(~sum));
            text += "S2";
            for (uint8_t b : record) {
                std::snprintf(hex, sizeof hex, "%02X", b);
                text += hex;
            }
            text += "\n";
        }
    }
    text += "S804000000FB\n";
    std::istringstream in(text);
    ASSERT_EQ(image.LoadStream(in), 1);
}

// Bytes 0, 1, 2, ... of a block, so that every byte differs from its neighbours.
inline std::vector<uint8_t> Counting(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

inline std::vector<tk::ScriptEvent> MessageBoxes(const tk::ScriptedUi& ui) {
    return ui.EventsOf(tk::ScriptEvent::Type::MessageBox);
}

}  // namespace kvtest
