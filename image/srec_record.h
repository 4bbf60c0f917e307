#pragma once
// One line of a Motorola S-record file, checked in full before anything is
// stored: a record is accepted only when its count, address, data and
// checksum are all hexadecimal digits, the count covers address and checksum,
// and the checksum matches.
#include <array>
#include <cstdint>
#include <string_view>

namespace kv {

enum class RecordKind {
    Blank,        // empty line
    Data,         // S1, S2, S3
    Termination,  // S7, S8, S9 without data bytes
    Header,       // S0
    Count,        // S5 (16-bit) or S6 (24-bit): the number of data records before it
    Reserved,     // S4, which no tool writes: a damaged type character
    UnknownType,  // "S" with no type character, or one that is not a digit
    NotSRecord,   // a non-empty line that does not begin with "S"
    Bad,          // a record of a known type with bad digits, a short line, a bad count or
                  // checksum, or a termination record that carries data
};

struct SRecord {
    uint8_t type = 0;       // the type digit, for every kind but Blank, NotSRecord and UnknownType
    uint32_t address = 0;   // S3 addresses use all 32 bits; the count of S5 and S6
    uint32_t size = 0;      // data bytes
    bool trailing = false;  // characters other than blanks follow the checksum
    std::array<uint8_t, 255> data;
};

// Longest valid record: "S", type, then count, address, data and checksum in
// at most 255 bytes of two digits each. Trailing characters beyond this are
// tolerated up to a small margin.
constexpr size_t kMaxRecordLine = 2 + 2 + 2 * 255 + 64;

// Classifies the line (without its line end); fills `record` for every
// record of a known type.
RecordKind ParseSRecord(std::string_view line, SRecord& record);

// Blanks, tabs and the end-of-file mark (Ctrl-Z) some old editors leave: a
// line of nothing else holds no record.
bool HoldsNoRecord(std::string_view line);

}  // namespace kv
