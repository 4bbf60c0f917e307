#include "tests/composite/composite_rig.h"

#include <cstdlib>

#include "image/routine_table.h"
#include "link/command.h"

namespace kvtest {

void SimRig::Unlock() {
    kv::CKelvixApp& app = App();
    if (!app.Synchronise()) ADD_FAILURE() << "the simulated chip did not synchronise";
    // Any ID opens a chip whose ID area is erased; the address must be the
    // first ID address of the chip type.
    const uint8_t frame[12] = {kv::kIdCheck, 0xDF, 0xFF, 0x0F, 0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    app.LoadRoutine(kv::kIdCheck);
    app.Channel().Write(frame, sizeof frame);
    if (app.IsLite()) app.WaitAcknowledgement();
    app.Sleep(50);
    if (!chip.IdVerified()) ADD_FAILURE() << "the simulated chip did not take the ID";
    app.idVerified = 1;
    Dev().ClearSent();
}

}  // namespace kvtest

namespace kvtest {

std::optional<sim::Options> LiteChip() {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    sim::Options o;
    bool opened = false;
    if (!dir || !kv::LoadSequencerFirmware(std::string(dir) + "/firm.mot", o.firmware, opened)) return std::nullopt;
    o.mode = sim::Mode::Lite;
    o.wireTiming = false;
    return o;
}

std::vector<WindowRun> ProgressWindows(const tk::ScriptedUi& ui) {
    std::vector<WindowRun> runs;
    for (const auto& e : ui.EventsOf(tk::ScriptEvent::Type::ModelessDestroyed))
        runs.push_back({e.caption, e.positions.empty() ? 0 : e.positions.size() - 1});
    return runs;
}

std::vector<Frame> KelvaneFrames(const std::vector<uint8_t>& bytes) {
    std::vector<Frame> frames;
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t code = bytes[i];
        size_t length = 1;
        switch (code) {
            case 0x41: length = 259; break;
            case 0xFF: length = 3; break;
            case 0x20: length = 4; break;
            case 0xA7: length = 2; break;
            case 0xF5: length = 12; break;
            default: break;
        }
        uint32_t page = 0;
        if (length >= 3 && i + 2 < bytes.size()) page = (uint32_t{bytes[i + 2]} << 16) | (uint32_t{bytes[i + 1]} << 8);
        frames.push_back({code, page});
        i += length;
    }
    return frames;
}

size_t CountFrames(const std::vector<Frame>& frames, uint8_t code) {
    size_t n = 0;
    for (const auto& f : frames) n += f.code == code;
    return n;
}

}  // namespace kvtest
