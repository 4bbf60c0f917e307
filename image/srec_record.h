#pragma once
// One line of a Motorola S-record file, checked in full before anything is
// stored: a data record is accepted only when its count, address, data and
// checksum are all hexadecimal digits, the count covers address and checksum,
// and the checksum matches.
#include <array>
#include <cstdint>
#include <string_view>

namespace kv {

enum class RecordKind {
    Blank,        // empty line
    Data,         // S1, S2, S3
    Termination,  // S7, S8, S9
    Skipped,      // S0, S4, S5, S6, SA-SF, or a type character that is not a hex digit
    NotSRecord,   // a non-empty line that does not begin with "S"
    Bad,          // a data record with bad digits, a short line, a bad count or checksum
};

struct SRecord {
    uint32_t address = 0;  // S3 addresses use all 32 bits
    uint32_t size = 0;     // data bytes
    std::array<uint8_t, 255> data;
};

// Longest valid record: "S", type, then count, address, data and checksum in
// at most 255 bytes of two digits each. Trailing characters beyond this are
// tolerated up to a small margin.
constexpr size_t kMaxRecordLine = 2 + 2 + 2 * 255 + 64;

// Classifies the line (without its line end); fills `record` for Data.
RecordKind ParseSRecord(std::string_view line, SRecord& record);

}  // namespace kv
