#include "image/srec_record.h"

namespace kv {
namespace {

constexpr uint8_t kNotHex = 0x80;

constexpr std::array<uint8_t, 256> kHexValue = [] {
    std::array<uint8_t, 256> table{};
    table.fill(kNotHex);
    for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 'a' + 10);
    return table;
}();

inline uint8_t Nibble(char c) { return kHexValue[static_cast<unsigned char>(c)]; }

// Decodes count byte pairs from text; `invalid` collects kNotHex when any
// digit is not hexadecimal.
inline void DecodePairs(const char* text, uint32_t count, uint8_t* out, uint8_t& invalid, uint32_t& sum) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t hi = Nibble(text[2 * i]);
        const uint8_t lo = Nibble(text[2 * i + 1]);
        invalid |= static_cast<uint8_t>(hi | lo);
        const auto value = static_cast<uint8_t>((hi << 4) | (lo & 0x0F));
        out[i] = value;
        sum += value;
    }
}

// Bytes of the address field of each type; 0 for types without a record form.
constexpr uint32_t AddressBytes(uint8_t type) {
    switch (type) {
        case 0:
        case 1:
        case 5:
        case 9: return 2;
        case 2:
        case 6:
        case 8: return 3;
        case 3:
        case 7: return 4;
        default: return 0;
    }
}

}  // namespace

bool HoldsNoRecord(std::string_view line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\x1A') return false;
    return true;
}

RecordKind ParseSRecord(std::string_view line, SRecord& record) {
    if (line.empty()) return RecordKind::Blank;
    if (line[0] != 'S') return RecordKind::NotSRecord;
    if (line.size() < 2 || line[1] < '0' || line[1] > '9') return RecordKind::UnknownType;
    const auto type = static_cast<uint8_t>(line[1] - '0');
    record.type = type;
    if (type == 4) return RecordKind::Reserved;

    const uint32_t addressBytes = AddressBytes(type);
    // The count byte sits at position 2; everything after it is counted.
    if (line.size() < 4) return RecordKind::Bad;
    uint8_t invalid = 0;
    uint32_t sum = 0;
    uint8_t count = 0;
    DecodePairs(line.data() + 2, 1, &count, invalid, sum);
    if (invalid & kNotHex) return RecordKind::Bad;
    // The count must cover the address and the checksum.
    if (count < addressBytes + 1) return RecordKind::Bad;
    if (line.size() < 4 + 2 * static_cast<size_t>(count)) return RecordKind::Bad;

    std::array<uint8_t, 4> address{};
    DecodePairs(line.data() + 4, addressBytes, address.data(), invalid, sum);
    const uint32_t size = count - addressBytes - 1;
    const char* dataText = line.data() + 4 + 2 * addressBytes;
    DecodePairs(dataText, size, record.data.data(), invalid, sum);
    uint8_t checksum = 0;
    uint32_t ignored = 0;
    DecodePairs(dataText + 2 * size, 1, &checksum, invalid, ignored);
    if (invalid & kNotHex) return RecordKind::Bad;
    if (static_cast<uint8_t>(~sum) != checksum) return RecordKind::Bad;

    uint32_t value = 0;
    for (uint32_t i = 0; i < addressBytes; ++i) value = (value << 8) | address[i];
    record.address = value;
    record.size = size;
    record.trailing = !HoldsNoRecord(line.substr(4 + 2 * static_cast<size_t>(count)));
    if (type >= 1 && type <= 3) return RecordKind::Data;
    if (type >= 7) return size == 0 ? RecordKind::Termination : RecordKind::Bad;
    if (type == 0) return RecordKind::Header;
    // A count record holds its count in the address field and nothing else.
    return size == 0 ? RecordKind::Count : RecordKind::Bad;
}

}  // namespace kv
