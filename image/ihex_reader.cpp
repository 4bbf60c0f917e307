#include "image/ihex_reader.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "image/hex_digit.h"
#include "image/line_reader.h"
#include "image/srec_record.h"
#include "image/written_bytes.h"

namespace kv {
namespace {

enum : uint8_t {
    kData = 0x00,
    kEnd = 0x01,
    kSegment = 0x02,
    kSegmentStart = 0x03,
    kLinear = 0x04,
    kLinearStart = 0x05,
};

// One record, decoded: bytes[0] count, [1..2] address, [3] type, then data and checksum.
struct HexRecord {
    std::array<uint8_t, 5 + 255> bytes{};
    uint8_t Count() const { return bytes[0]; }
    uint16_t Offset() const { return static_cast<uint16_t>(bytes[1] << 8 | bytes[2]); }
    uint8_t Type() const { return bytes[3]; }
    const uint8_t* Data() const { return bytes.data() + 4; }
    uint16_t Word() const { return static_cast<uint16_t>(bytes[4] << 8 | bytes[5]); }
};

// Answers null when the line is a sound record, else why it is not.
const char* Decode(std::string_view line, HexRecord& record) {
    std::string_view body = line.substr(1);
    while (!body.empty() && (body.back() == ' ' || body.back() == '\t')) body.remove_suffix(1);
    if (body.size() % 2 != 0 || body.size() < 10) return "malformed record";
    const size_t size = body.size() / 2;
    if (size > record.bytes.size()) return "record longer than its count";
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i) {
        const int hi = HexDigit(body[2 * i]);
        const int lo = HexDigit(body[2 * i + 1]);
        if (hi < 0 || lo < 0) return "not a hexadecimal digit";
        record.bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
        sum = static_cast<uint8_t>(sum + record.bytes[i]);
    }
    if (size < 5u + record.Count()) return "record shorter than its count";
    if (size > 5u + record.Count()) return "record longer than its count";
    if (sum != 0) return "bad checksum";
    return nullptr;
}

}  // namespace

ImageLoadResult LoadIntelHex(std::istream& in, CMotFile& image) {
    image.Clear();
    ImageLoadResult result;
    result.format = ImageFormat::IntelHex;
    std::string conflict;
    LineReader reader(in, kMaxHexLine);
    auto refuse = [&](const char* reason, unsigned line) {
        image.Clear();
        result.status = ImageLoadStatus::Refused;
        result.line = line;
        result.reason = reason;
        return result;
    };

    HexRecord record;
    WrittenBytes written;
    // Places data as a record gives them, refusing a byte an earlier record
    // gave another value.
    auto put = [&](uint32_t address, const uint8_t* data, uint32_t size) -> const char* {
        if (address >= CMotFile::kAddressSpace || size > CMotFile::kAddressSpace - address)
            return "data beyond 0xFFFFFF";
        if (const auto at = written.Conflict(image, address, data, size)) {
            conflict = TwoValuesText(image, *at, data[*at - address]);
            return conflict.c_str();
        }
        written.Mark(address, size);
        image.Put(address, data, size);
        return nullptr;
    };
    uint32_t base = 0;
    bool segmented = false;  // a 02 record set the base: offsets wrap within the segment
    std::string_view line;
    while (reader.Next(line)) {
        if (line.empty()) continue;
        const unsigned number = reader.LineNumber();
        if (line[0] != ':') return refuse("not an Intel HEX record", number);
        if (reader.Overlong()) return refuse("line too long", number);
        if (const char* fault = Decode(line, record)) return refuse(fault, number);
        const uint8_t count = record.Count();
        switch (record.Type()) {
            case kData: {
                const uint32_t offset = record.Offset();
                // Linear addresses run on past 64 KiB; segment offsets wrap to the segment's start.
                const uint32_t first = segmented && count > 0x10000 - offset ? 0x10000 - offset : count;
                const char* fault = put(base + offset, record.Data(), first);
                if (!fault && first < count) fault = put(base, record.Data() + first, count - first);
                if (fault) return refuse(fault, number);
                break;
            }
            case kEnd:
                if (count != 0) return refuse("malformed end-of-file record", number);
                // Two files run together lose the second one's data: only blank
                // lines may follow.
                while (reader.Next(line)) {
                    if (reader.Overlong() || !HoldsNoRecord(line))
                        return refuse("data after the end-of-file record", reader.LineNumber());
                }
                if (reader.ReadFailed()) break;
                result.status = ImageLoadStatus::Loaded;
                return result;
            case kSegment:
            case kLinear:
                if (count != 2) return refuse("malformed extended address record", number);
                segmented = record.Type() == kSegment;
                base = segmented ? uint32_t{record.Word()} << 4 : uint32_t{record.Word()} << 16;
                break;
            case kSegmentStart:
            case kLinearStart:
                if (count != 4) return refuse("malformed start address record", number);
                break;
            default: {
                char text[32];
                std::snprintf(text, sizeof text, "unknown record type %02X", record.Type());
                return refuse(text, number);
            }
        }
    }
    if (reader.ReadFailed()) {
        image.Clear();
        result.status = ImageLoadStatus::CannotOpen;
        result.reason = "could not be read";
        return result;
    }
    return refuse("no end-of-file record", 0);
}

}  // namespace kv
