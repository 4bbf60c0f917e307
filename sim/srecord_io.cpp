#include "sim/srecord_io.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "image/hex_digit.h"

namespace sim {

namespace {

// The record's bytes after "Sn" (count, address, data, checksum), or empty.
std::vector<uint8_t> RecordBytes(const std::string& line) {
    std::vector<uint8_t> out;
    if ((line.size() - 2) % 2 != 0) return {};
    for (size_t i = 2; i + 1 < line.size(); i += 2) {
        int hi = kv::HexDigit(line[i]);
        int lo = kv::HexDigit(line[i + 1]);
        if (hi < 0 || lo < 0) return {};
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

std::string Record(char type, uint32_t address, size_t addressBytes, const uint8_t* data, size_t n) {
    // Count, address (highest byte first), data, checksum; sized once, so
    // no growth follows the copy of the data.
    std::vector<uint8_t> body(1 + addressBytes + n + 1);
    body[0] = static_cast<uint8_t>(addressBytes + n + 1);
    for (size_t i = 0; i < addressBytes; ++i)
        body[1 + i] = static_cast<uint8_t>(address >> (8 * (addressBytes - 1 - i)));
    for (size_t i = 0; i < n; ++i) body[1 + addressBytes + i] = data[i];
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < body.size(); ++i) sum += body[i];
    body.back() = static_cast<uint8_t>(~sum);
    std::string line = {'S', type};
    char hex[3];
    for (uint8_t b : body) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + "\n";
}

}  // namespace

bool LoadSRecords(const std::string& path, FlashMemory& flash, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        auto bad = [&](const char* why) {
            error = path + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        if (line.size() < 4 || line[0] != 'S') return bad("not an S-record");
        char type = line[1];
        if (type != '1' && type != '2' && type != '3') continue;
        size_t addressBytes = static_cast<size_t>(type - '0') + 1;
        auto bytes = RecordBytes(line);
        if (bytes.empty() || bytes[0] + 1u != bytes.size() || bytes.size() < addressBytes + 2)
            return bad("malformed record");
        unsigned sum = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
        if (static_cast<uint8_t>(~sum) != bytes.back()) return bad("checksum mismatch");
        uint32_t address = 0;
        for (size_t i = 0; i < addressBytes; ++i) address = (address << 8) | bytes[1 + i];
        for (size_t i = 1 + addressBytes; i + 1 < bytes.size(); ++i)
            flash.Write(address + static_cast<uint32_t>(i - 1 - addressBytes), bytes[i]);
    }
    return true;
}

bool DumpSRecords(const std::string& path, const FlashMemory& flash, uint32_t first, uint32_t last,
                  std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    const uint8_t header[] = {'v', 'i', 'r', 'e', 'o', '-', 's', 'i', 'm'};
    out << Record('0', 0, 2, header, sizeof header);
    for (uint32_t page : flash.UsedPages()) {
        auto data = flash.ReadPage(page);
        for (uint32_t off = 0; off < kPageSize; off += 32) {
            uint32_t a = page + off;
            if (a + 31 < first || a > last) continue;
            uint32_t from = a < first ? first - a : 0;
            uint32_t to = a + 31 > last ? last - a + 1 : 32;
            // One record per run of non-blank bytes.
            for (uint32_t i = from; i < to;) {
                if (data[off + i] == kErased) {
                    ++i;
                    continue;
                }
                uint32_t j = i;
                while (j < to && data[off + j] != kErased) ++j;
                out << Record('2', a + i, 3, data.data() + off + i, j - i);
                i = j;
            }
        }
    }
    out << Record('8', 0, 3, nullptr, 0);
    if (!out) error = "cannot write " + path;
    return static_cast<bool>(out);
}

bool DumpBinary(const std::string& path, const FlashMemory& flash, uint32_t first, uint32_t last, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    for (uint64_t a = first; a <= last; ++a) out.put(static_cast<char>(flash.Read(static_cast<uint32_t>(a))));
    if (!out) error = "cannot write " + path;
    return static_cast<bool>(out);
}

}  // namespace sim
