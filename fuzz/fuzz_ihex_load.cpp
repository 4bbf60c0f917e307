// The Intel HEX reader against a plain, slow reading of the same rules, and
// what it loads written back as Intel HEX and read again: the same bytes on
// every page that holds data. A refused file leaves the image empty.
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/ihex_reader.h"
#include "image/image_writer.h"
#include "image/load_image_file.h"

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

struct Reference {
    bool loaded = false;
    unsigned line = 0;
    std::string reason;
    std::set<uint32_t> pages;
    std::map<uint32_t, uint8_t> bytes;
    uint64_t base = 0;
    bool segmented = false;
};

// Answers the reason when the line is refused, "" when it is fine, "end" at the end record.
std::string ReadLine(std::string line, Reference& ref) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return "";
    if (line[0] != ':') return "not an Intel HEX record";
    if (line.size() > kv::kMaxHexLine) return "line too long";
    std::string body = line.substr(1);
    while (!body.empty() && (body.back() == ' ' || body.back() == '\t')) body.pop_back();
    if (body.size() % 2 != 0 || body.size() < 10) return "malformed record";
    std::vector<unsigned> fields;
    if (body.size() / 2 > 260) return "record longer than its count";
    unsigned sum = 0;
    for (size_t i = 0; i < body.size(); i += 2) {
        const int hi = HexDigit(body[i]), lo = HexDigit(body[i + 1]);
        if (hi < 0 || lo < 0) return "not a hexadecimal digit";
        fields.push_back(static_cast<unsigned>(hi * 16 + lo));
        sum += fields.back();
    }
    const unsigned count = fields[0];
    if (fields.size() < 5 + count) return "record shorter than its count";
    if (fields.size() > 5 + count) return "record longer than its count";
    if (sum % 256 != 0) return "bad checksum";
    const unsigned offset = fields[1] * 256 + fields[2];
    switch (fields[3]) {
        case 0: {
            std::vector<uint64_t> at;
            at.push_back(ref.segmented ? ref.base + offset : ref.base + offset);
            for (unsigned i = 0; i < count; ++i)
                at.push_back(ref.segmented ? ref.base + ((offset + i) & 0xFFFF) : ref.base + offset + i);
            for (uint64_t a : at)
                if (a > 0xFFFFFF) return "data beyond 0xFFFFFF";
            for (unsigned i = 0; i < count; ++i) {
                const auto it = ref.bytes.find(static_cast<uint32_t>(at[i + 1]));
                if (it != ref.bytes.end() && it->second != fields[4 + i]) {
                    char text[64];
                    std::snprintf(text, sizeof text, "%06X is given two values (%02X, then %02X)",
                                  static_cast<unsigned>(it->first), static_cast<unsigned>(it->second), fields[4 + i]);
                    return text;
                }
            }
            ref.pages.insert(static_cast<uint32_t>(at[0] >> 8));
            for (unsigned i = 0; i < count; ++i) {
                ref.pages.insert(static_cast<uint32_t>(at[i + 1] >> 8));
                ref.bytes[static_cast<uint32_t>(at[i + 1])] = static_cast<uint8_t>(fields[4 + i]);
            }
            return "";
        }
        case 1: return count == 0 ? "end" : "malformed end-of-file record";
        case 2:
        case 4:
            if (count != 2) return "malformed extended address record";
            ref.segmented = fields[3] == 2;
            ref.base = (fields[4] * 256u + fields[5]) * (ref.segmented ? 16u : 65536u);
            return "";
        case 3:
        case 5: return count == 4 ? "" : "malformed start address record";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "unknown record type %02X", fields[3]);
            return text;
        }
    }
}

Reference ReadPlainly(const std::string& input) {
    Reference ref;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        ++ref.line;
        const std::string verdict = ReadLine(input.substr(start, end - start), ref);
        if (verdict == "end") {
            // Only blank lines may follow.
            for (start = end + 1; start < input.size(); start = end + 1) {
                end = input.find('\n', start);
                if (end == std::string::npos) end = input.size();
                ++ref.line;
                std::string rest = input.substr(start, end - start);
                if (!rest.empty() && rest.back() == '\r') rest.pop_back();
                if (rest.size() > kv::kMaxHexLine || rest.find_first_not_of(" \t\x1A") != std::string::npos) {
                    ref.reason = "data after the end-of-file record";
                    return ref;
                }
            }
            ref.loaded = true;
            return ref;
        }
        if (!verdict.empty()) {
            ref.reason = verdict;
            return ref;
        }
        start = end + 1;
    }
    ref.line = 0;
    ref.reason = "no end-of-file record";
    return ref;
}

uint8_t ByteAt(const kv::CMotFile& image, uint32_t address) {
    const kv::CLineImage* page = image.Page(address >> 8);
    return page ? page->Bytes()[address & 0xFF] : 0xFF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kv::CMotFile image;  // reused, so that every load also clears the previous one
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input);
    const kv::ImageLoadResult result = kv::LoadIntelHex(in, image);
    const Reference ref = ReadPlainly(input);

    Check(result.format == kv::ImageFormat::IntelHex);

    // The format-neutral entry sends a file whose first non-empty line begins
    // with ":" to the same reader.
    size_t first = 0;
    while (first < input.size() && (input[first] == '\n' || input.compare(first, 2, "\r\n") == 0))
        first += input[first] == '\n' ? 1 : 2;
    if (first < input.size() && input[first] == ':') {
        static kv::CMotFile detected;
        std::istringstream again(input);
        const kv::ImageLoadResult viaEntry = kv::LoadImageStream(again, detected);
        Check(viaEntry.status == result.status && viaEntry.format == result.format);
        Check(viaEntry.line == result.line && viaEntry.reason == result.reason);
        Check(detected.PageCount() == image.PageCount());
    }
    Check(result.Loaded() == ref.loaded);
    if (!ref.loaded) {
        Check(result.status == kv::ImageLoadStatus::Refused);
        Check(result.line == ref.line && result.reason == ref.reason);
        Check(image.PageCount() == 0);
        return 0;
    }
    Check(image.PageCount() == ref.pages.size());
    std::vector<uint32_t> present;
    image.PresentPages().ForEach([&](uint32_t page) { present.push_back(page); });
    Check(std::equal(present.begin(), present.end(), ref.pages.begin(), ref.pages.end()));
    for (uint32_t page : present) {
        for (uint32_t offset = 0; offset < 256; ++offset) {
            const auto it = ref.bytes.find((page << 8) | offset);
            Check(ByteAt(image, (page << 8) | offset) == (it == ref.bytes.end() ? 0xFF : it->second));
        }
    }

    // Written back over the whole space and read again: every page with data returns.
    static kv::CMotFile back;
    kv::ImageWriteOptions options;
    options.start = 0;
    options.end = 0xFFFFFF;
    options.recordBytes = 1 + static_cast<unsigned>(size % 64);
    std::stringstream text;
    Check(kv::WriteIntelHex(image, options, text));
    Check(kv::LoadIntelHex(text, back).Loaded());
    for (uint32_t page : present) {
        bool blank = true;
        for (uint8_t b : image.Page(page)->Bytes()) blank &= b == 0xFF;
        const kv::CLineImage* again = back.Page(page);
        Check(blank ? again == nullptr : again && again->Bytes() == image.Page(page)->Bytes());
    }
    Check(back.PageCount() <= image.PageCount());
    return 0;
}
