#pragma once
// kelvlite's sequencer routines: 14 slots of up to 1024 bytes, filled once at
// start-up from firm.mot.
#include <array>
#include <cstdint>
#include <string>

namespace kv {

struct RoutineSlot {
    uint32_t length = 0;  // bytes to send
    std::array<uint8_t, 1024> bytes{};
};

struct RoutineTable {
    static constexpr int kSlots = 14;
    std::array<RoutineSlot, kSlots> slots{};
    bool loaded = false;

    // The slot of a command code (0xA7 gives the first of its three), or -1.
    static int SlotFor(uint8_t code);
};

// Reads a sequencer firmware file (S2 records into a 20480-byte buffer, a
// directory of 14 little-endian addresses at 0x14 + 8 * i, big-endian length
// before each block). False when the file is no regular file or cannot be
// opened (`opened` false) or is malformed; nothing is written outside the
// buffers. For a malformed file, `badLine` (when given) is the 1-based line
// that was refused, or 0 when the records were read but the routines are
// incomplete. A line longer than any record is malformed.
bool LoadSequencerFirmware(const std::string& path, RoutineTable& table, bool& opened, unsigned* badLine = nullptr);

}  // namespace kv
