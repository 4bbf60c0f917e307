// The S-record loader against a plain, slow reading of the same rules, plus
// the image's own invariants: every present page is a full 256-byte page,
// the presence set agrees with the table, and the scan finds its ends.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/mot_file.h"
#include "image/page_scan.h"
#include "image/srec_record.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<unsigned> HexByte(const std::string& line, size_t position) {
    if (position + 1 >= line.size()) return std::nullopt;
    const int hi = HexDigit(line[position]);
    const int lo = HexDigit(line[position + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    return static_cast<unsigned>(hi * 16 + lo);
}

struct Reference {
    kv::LoadStatus status = kv::LoadStatus::NoTermination;
    unsigned line = 0;
    std::set<uint32_t> pages;
    std::map<uint32_t, uint8_t> bytes;
    bool sound = false;        // the last record was whole and sound
    unsigned dataRecords = 0;  // since the last header
};

unsigned AddressBytes(int type) {
    if (type == 0 || type == 1 || type == 5 || type == 9) return 2;
    if (type == 2 || type == 6 || type == 8) return 3;
    return 4;
}

// Handles one line; answers false when the load ends.
bool ReadLine(std::string line, Reference& ref) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kv::kMaxRecordLine) {
        ref.status = line[0] == 'S' ? kv::LoadStatus::BadRecord : kv::LoadStatus::NotSRecord;
        return false;
    }
    if (line.empty()) return true;
    if (line[0] != 'S') {
        ref.status = kv::LoadStatus::NotSRecord;
        return false;
    }
    ref.status = kv::LoadStatus::BadRecord;
    if (line.size() < 2 || line[1] < '0' || line[1] > '9' || line[1] == '4') return false;
    const int type = line[1] - '0';
    const unsigned addressBytes = AddressBytes(type);
    const auto count = HexByte(line, 2);
    bool wellFormed = count && *count >= addressBytes + 1;
    std::vector<unsigned> fields;
    for (unsigned i = 0; wellFormed && i < *count; ++i) {
        const auto b = HexByte(line, 4 + 2 * i);
        if (!b)
            wellFormed = false;
        else
            fields.push_back(*b);
    }
    if (wellFormed) {
        unsigned sum = *count;
        for (unsigned i = 0; i + 1 < fields.size(); ++i) sum += fields[i];
        wellFormed = ((~sum) & 0xFF) == fields.back();
    }
    if (!wellFormed) {
        if (type != 0) return false;
        ref.sound = false;  // a header is skipped, read or not
        ref.status = kv::LoadStatus::NoTermination;
        return true;
    }
    uint64_t address = 0;
    for (unsigned i = 0; i < addressBytes; ++i) address = address * 256 + fields[i];
    const uint64_t size = *count - addressBytes - 1;
    if (type >= 7) {
        if (size != 0) return false;
        ref.status = kv::LoadStatus::Complete;
        return false;
    }
    if (type == 5 || type == 6) {
        const unsigned mask = type == 5 ? 0xFFFF : 0xFFFFFF;
        if (size != 0 || address != (ref.dataRecords & mask)) return false;
    } else if (type == 0) {
        ref.dataRecords = 0;
    } else {
        if (address + size > 0x1000000 || address >= 0x1000000) return false;
        ref.pages.insert(static_cast<uint32_t>(address >> 8));
        for (uint64_t i = 0; i < size; ++i) {
            const auto at = static_cast<uint32_t>(address + i);
            ref.pages.insert(at >> 8);
            ref.bytes[at] = static_cast<uint8_t>(fields[addressBytes + i]);
        }
        ++ref.dataRecords;
    }
    ref.sound = true;
    ref.status = kv::LoadStatus::NoTermination;
    return true;
}

Reference ReadPlainly(const std::string& input) {
    Reference ref;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        ++ref.line;
        if (!ReadLine(input.substr(start, end - start), ref)) return ref;
        start = end + 1;
    }
    // A file that ends on a sound record is whole without a termination record.
    if (ref.sound) ref.status = kv::LoadStatus::Complete;
    ref.line = 0;
    return ref;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kv::CMotFile image;  // reused, so that every load also clears the previous one
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input);
    const int result = image.LoadStream(in);
    const Reference ref = ReadPlainly(input);

    Check(result == (image.LastStatus() == kv::LoadStatus::Complete ? 1 : 0));
    Check(image.LastStatus() == ref.status);
    if (ref.status == kv::LoadStatus::BadRecord || ref.status == kv::LoadStatus::NotSRecord)
        Check(image.LastLine() == ref.line);
    Check(image.PageCount() <= kv::CMotFile::kPages);
    Check(image.PageCount() == ref.pages.size());

    // The presence set names the pages of the table; every 16th run walks all
    // 65,536 slots to show that no other slot holds a page.
    std::vector<uint32_t> present;
    image.PresentPages().ForEach([&](uint32_t page) {
        Check(image.Page(page) != nullptr);
        present.push_back(page);
    });
    static unsigned runs = 0;
    if (++runs % 16 == 0) {
        size_t inTable = 0;
        for (uint32_t page = 0; page < kv::CMotFile::kPages; ++page) inTable += image.Page(page) != nullptr;
        Check(inTable == present.size());
    }
    Check(present.size() == image.PageCount());
    Check(std::equal(present.begin(), present.end(), ref.pages.begin(), ref.pages.end()));

    uint8_t buffer[256];
    for (uint32_t page : present) {
        std::memset(buffer, 0xA5, sizeof buffer);
        Check(image.GetPage(buffer, page) == image.Page(page));
        for (uint32_t offset = 0; offset < 256; ++offset) {
            const auto it = ref.bytes.find((page << 8) | offset);
            Check(buffer[offset] == (it == ref.bytes.end() ? 0xFF : it->second));
        }
    }
    std::memset(buffer, 0xA5, sizeof buffer);
    Check(image.GetPage(buffer, kv::CMotFile::kPages) == nullptr && buffer[0] == 0xA5);

    uint32_t first = 0, last = 0;
    const bool found = kv::FindDataPages(image, 0x1000000, first, last);
    Check(found == !ref.pages.empty());
    if (found) Check(first == *ref.pages.begin() << 8 && last == ((*ref.pages.rbegin() << 8) | 0xFF));
    return 0;
}
