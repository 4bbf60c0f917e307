#include "image/routine_table.h"

#include <fstream>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "image/hex_digit.h"
#include "image/line_reader.h"
#include "image/text_file.h"

namespace kv {

int RoutineTable::SlotFor(uint8_t code) {
    switch (code) {
        case 0xFF: return 0;
        case 0x41: return 1;
        case 0xA7: return 2;
        case 0x70: return 5;
        case 0x50: return 6;
        case 0x71: return 7;
        case 0xF5: return 8;
        case 0xFB: return 9;
        case 0xB0: return 10;
        case 0xB1: return 11;
        case 0xB2: return 12;
        case 0xB3: return 13;
        default: return -1;
    }
}

namespace {

constexpr size_t kBufferSize = 20480;
constexpr size_t kDirectory = 0x14;
constexpr size_t kDirectoryStride = 8;
// The longest S-record (count 0xFF) with room for trailing blanks.
constexpr size_t kMaxFirmwareLine = 2 + 2 + 2 * 255 + 64;

// The firmware image as the records left it: which bytes were written, and
// their values. Routine bytes no record wrote make the file unusable.
struct FirmwareBuffer {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kBufferSize, 0xFF);
    std::vector<bool> written = std::vector<bool>(kBufferSize, false);

    std::optional<uint8_t> At(size_t address) const {
        if (address >= kBufferSize || !written[address]) return std::nullopt;
        return bytes[address];
    }
};

// Two hex digits at `pos`, or nothing when they are missing or not hex.
std::optional<uint32_t> HexByteAt(std::string_view line, size_t pos) {
    if (pos + 2 > line.size()) return std::nullopt;
    int hi = HexDigit(line[pos]);
    int lo = HexDigit(line[pos + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    return static_cast<uint32_t>(hi * 16 + lo);
}

// Places one S2 record into the buffer. Only the low 16 bits of its address
// count. False when the record is malformed or reaches past the buffer.
bool PlaceS2Record(std::string_view line, FirmwareBuffer& buffer) {
    auto count = HexByteAt(line, 2);
    auto addrHi = HexByteAt(line, 6);
    auto addrLo = HexByteAt(line, 8);
    if (!count || !addrHi || !addrLo || *count < 4) return false;
    size_t address = (*addrHi << 8) | *addrLo;
    size_t n = *count - 4;
    if (address + n > kBufferSize) return false;
    for (size_t i = 0; i < n; ++i) {
        auto value = HexByteAt(line, 10 + 2 * i);
        if (!value) return false;
        buffer.bytes[address + i] = static_cast<uint8_t>(*value);
        buffer.written[address + i] = true;
    }
    return true;
}

bool FillSlot(const FirmwareBuffer& buffer, int slot, RoutineSlot& out) {
    size_t entry = kDirectory + kDirectoryStride * static_cast<size_t>(slot);
    auto lo = buffer.At(entry);
    auto hi = buffer.At(entry + 1);
    if (!lo || !hi) return false;
    size_t block = (static_cast<size_t>(*hi) << 8) | *lo;
    auto lenHi = buffer.At(block);
    auto lenLo = buffer.At(block + 1);
    if (!lenHi || !lenLo) return false;
    size_t total = ((static_cast<size_t>(*lenHi) << 8) | *lenLo) + 2;
    if (total > out.bytes.size()) return false;
    for (size_t i = 0; i < total; ++i) {
        auto value = buffer.At(block + i);
        if (!value) return false;
        out.bytes[i] = *value;
    }
    out.length = static_cast<uint32_t>(total);
    return true;
}

}  // namespace

bool LoadSequencerFirmware(const std::string& path, RoutineTable& table, bool& opened, unsigned* badLine) {
    opened = false;
    std::ifstream file;
    if (!OpenRegularFile(path, file)) return false;
    opened = true;

    auto buffer = std::make_unique<FirmwareBuffer>();
    LineReader reader(file, kMaxFirmwareLine);
    std::string_view line;
    auto refuse = [&](unsigned lineNumber) {
        if (badLine) *badLine = lineNumber;
        return false;
    };
    while (reader.Next(line)) {
        if (line.empty()) continue;
        if (reader.Overlong() || line[0] != 'S') return refuse(reader.LineNumber());
        if (line.size() >= 2 && line[1] == '2' && !PlaceS2Record(line, *buffer)) return refuse(reader.LineNumber());
    }
    if (reader.ReadFailed()) return refuse(reader.LineNumber() + 1);

    // Build the whole table aside so that a bad file leaves the old one.
    auto loaded = std::make_unique<RoutineTable>();
    for (int slot = 0; slot < RoutineTable::kSlots; ++slot) {
        if (!FillSlot(*buffer, slot, loaded->slots[static_cast<size_t>(slot)])) return refuse(0);
    }
    loaded->loaded = true;
    table = *loaded;
    return true;
}

}  // namespace kv
