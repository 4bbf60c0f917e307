#pragma once
// A chip on a hand-driven clock, and a small sequencer firmware made in code.
#include <cstdint>
#include <vector>

#include "sim/chip.h"

namespace simtest {

// Three distinct bytes per slot: a length of 1..14 and a body naming the slot.
inline kv::RoutineTable SmallFirmware() {
    kv::RoutineTable table;
    for (int i = 0; i < kv::RoutineTable::kSlots; ++i) {
        auto& s = table.slots[static_cast<size_t>(i)];
        uint8_t length = static_cast<uint8_t>(i + 1);
        s.bytes[0] = 0;
        s.bytes[1] = length;
        for (uint8_t k = 0; k < length; ++k) s.bytes[2 + k] = static_cast<uint8_t>(0x40 + i);
        s.length = length + 2u;
    }
    table.loaded = true;
    return table;
}

inline std::vector<uint8_t> Routine(const kv::RoutineTable& table, int slot) {
    const auto& s = table.slots[static_cast<size_t>(slot)];
    return {s.bytes.begin(), s.bytes.begin() + s.length};
}

struct Bench {
    explicit Bench(sim::Options options) : chip(std::move(options)) {}

    // Sends at the current time and returns the values of the answer.
    std::vector<uint8_t> Send(const std::vector<uint8_t>& bytes, uint32_t baud = 9600) {
        last = chip.Feed(bytes, baud, nowUs);
        std::vector<uint8_t> values;
        for (const auto& b : last) values.push_back(b.value);
        return values;
    }
    void Wake(uint8_t first = 0x00) {
        std::vector<uint8_t> seq{first};
        seq.insert(seq.end(), 16, 0x00);
        seq.push_back(0xB0);
        Send(seq);
    }
    std::vector<uint8_t> Status() { return Send({0x70}); }
    std::vector<uint8_t> Verify(const sim::IdCode& id = sim::kDefaultId) {
        std::vector<uint8_t> frame{0xF5, 0xDF, 0xFF, 0x0F, 0x07};
        frame.insert(frame.end(), id.begin(), id.end());
        return Send(frame);
    }

    sim::Chip chip;
    uint64_t nowUs = 1000000;
    std::vector<sim::TimedByte> last;
};

inline sim::Options Untimed(sim::Mode mode = sim::Mode::Flash) {
    sim::Options o;
    o.mode = mode;
    o.wireTiming = false;
    if (mode == sim::Mode::Lite) o.firmware = SmallFirmware();
    return o;
}

inline std::vector<uint8_t> PageFrame(uint8_t code, uint32_t address, uint8_t fill) {
    std::vector<uint8_t> f(3 + 256, fill);  // filled, not inserted: GCC 12 misreads the insert at -O3
    f[0] = code;
    f[1] = static_cast<uint8_t>(address >> 8);
    f[2] = static_cast<uint8_t>(address >> 16);
    return f;
}

}  // namespace simtest
