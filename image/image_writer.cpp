#include "image/image_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ostream>
#include <vector>

namespace kv {
namespace {

constexpr unsigned kMaxRecordBytes = 64;
constexpr size_t kMaxHeader = 64;

// One part of the range that lies in one page, with its bytes.
struct Piece {
    uint32_t address;
    uint32_t size;
    std::array<uint8_t, 256> bytes;
};

// Calls f(piece) for each page of the range in ascending order, skipping
// pages that are all blank unless every page is wanted.
template <class F>
void ForEachPiece(const CMotFile& image, const ImageWriteOptions& options, bool allPages, F f) {
    Piece piece;
    for (uint32_t page = options.start >> 8; page <= options.end >> 8; ++page) {
        const uint32_t from = std::max(options.start, page << 8);
        const uint32_t to = std::min(options.end, (page << 8) | 0xFF);
        piece.address = from;
        piece.size = to - from + 1;
        const CLineImage* present = image.Page(page);
        if (!present && !allPages) continue;
        if (present)
            std::copy_n(present->Bytes().begin() + (from & 0xFF), piece.size, piece.bytes.begin());
        else
            piece.bytes.fill(0xFF);
        const auto used = piece.bytes.begin() + piece.size;
        if (!allPages && std::all_of(piece.bytes.begin(), used, [](uint8_t b) { return b == 0xFF; })) continue;
        f(piece);
    }
}

// A record in hexadecimal text: prefix, the bytes, and the checksum that
// the format asks for. At most 2 prefix characters and 1 + 4 + 64 + 1 bytes,
// built in a fixed buffer (no string copies for GCC 12's -O3 to misread).
class RecordText {
public:
    explicit RecordText(std::ostream& out) : out_(out) {}
    void Begin(const char* prefix) {
        length_ = 0;
        for (; *prefix; ++prefix) text_[length_++] = *prefix;
        sum_ = 0;
    }
    void Byte(uint8_t value) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        text_[length_++] = kDigits[value >> 4];
        text_[length_++] = kDigits[value & 0x0F];
        sum_ = static_cast<uint8_t>(sum_ + value);
    }
    void Bytes(const uint8_t* data, uint32_t size) {
        for (uint32_t i = 0; i < size; ++i) Byte(data[i]);
    }
    void Address(uint32_t address, unsigned bytes) {
        for (unsigned i = bytes; i-- > 0;) Byte(static_cast<uint8_t>(address >> (8 * i)));
    }
    uint8_t Sum() const { return sum_; }
    void End(uint8_t checksum) {
        Byte(checksum);
        text_[length_++] = '\n';
        out_.write(text_.data(), static_cast<std::streamsize>(length_));
    }

private:
    std::ostream& out_;
    std::array<char, 2 + 2 * (1 + 4 + kMaxRecordBytes + 1) + 1> text_{};
    size_t length_ = 0;
    uint8_t sum_ = 0;
};

void SRecord(RecordText& record, char type, unsigned addressBytes, uint32_t address, const uint8_t* data,
             uint32_t size) {
    const char prefix[3] = {'S', type, '\0'};
    record.Begin(prefix);
    record.Byte(static_cast<uint8_t>(addressBytes + size + 1));
    record.Address(address, addressBytes);
    record.Bytes(data, size);
    record.End(static_cast<uint8_t>(~record.Sum()));
}

void HexRecord(RecordText& record, uint8_t type, uint16_t offset, const uint8_t* data, uint32_t size) {
    record.Begin(":");
    record.Byte(static_cast<uint8_t>(size));
    record.Address(offset, 2);
    record.Byte(type);
    record.Bytes(data, size);
    record.End(static_cast<uint8_t>(-record.Sum()));
}

}  // namespace

const char* CheckWriteOptions(const ImageWriteOptions& options) {
    if (options.end >= CMotFile::kAddressSpace) return "the range ends beyond 0xFFFFFF";
    if (options.start > options.end) return "the range starts after its end";
    if (options.recordBytes < 1 || options.recordBytes > kMaxRecordBytes) return "record size must be 1 to 64 bytes";
    return nullptr;
}

bool WriteSRecords(const CMotFile& image, const ImageWriteOptions& options, std::ostream& out) {
    if (CheckWriteOptions(options)) return false;
    // The shortest address form that fits the highest address written.
    uint32_t highest = 0;
    ForEachPiece(image, options, options.allPages,
                 [&](const Piece& piece) { highest = piece.address + piece.size - 1; });
    const bool wide = highest > 0xFFFF;
    const unsigned addressBytes = wide ? 3 : 2;

    RecordText record(out);
    if (!options.header.empty()) {
        const size_t size = std::min(options.header.size(), kMaxHeader);
        SRecord(record, '0', 2, 0, reinterpret_cast<const uint8_t*>(options.header.data()),
                static_cast<uint32_t>(size));
    }
    ForEachPiece(image, options, options.allPages, [&](const Piece& piece) {
        for (uint32_t at = 0; at < piece.size; at += options.recordBytes) {
            const uint32_t size = std::min(options.recordBytes, piece.size - at);
            SRecord(record, wide ? '2' : '1', addressBytes, piece.address + at, piece.bytes.data() + at, size);
        }
    });
    SRecord(record, wide ? '8' : '9', addressBytes, 0, nullptr, 0);
    return out.good();
}

bool WriteIntelHex(const CMotFile& image, const ImageWriteOptions& options, std::ostream& out) {
    if (CheckWriteOptions(options)) return false;
    RecordText record(out);
    uint32_t upper = 0x10000;  // none written yet
    ForEachPiece(image, options, options.allPages, [&](const Piece& piece) {
        // A piece lies in one page, so never across a 64 KiB boundary.
        if (piece.address >> 16 != upper) {
            upper = piece.address >> 16;
            const uint8_t word[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
            HexRecord(record, 0x04, 0, word, 2);
        }
        for (uint32_t at = 0; at < piece.size; at += options.recordBytes) {
            const uint32_t size = std::min(options.recordBytes, piece.size - at);
            HexRecord(record, 0x00, static_cast<uint16_t>(piece.address + at), piece.bytes.data() + at, size);
        }
    });
    HexRecord(record, 0x01, 0, nullptr, 0);
    return out.good();
}

bool WriteBinary(const CMotFile& image, const ImageWriteOptions& options, std::ostream& out) {
    if (CheckWriteOptions(options)) return false;
    ForEachPiece(image, options, true,
                 [&](const Piece& piece) { out.write(reinterpret_cast<const char*>(piece.bytes.data()), piece.size); });
    return out.good();
}

bool WriteImage(ImageFormat format, const CMotFile& image, const ImageWriteOptions& options, std::ostream& out) {
    switch (format) {
        case ImageFormat::SRecord: return WriteSRecords(image, options, out);
        case ImageFormat::IntelHex: return WriteIntelHex(image, options, out);
        case ImageFormat::Binary: return WriteBinary(image, options, out);
    }
    return false;
}

std::optional<ImageFormat> FormatForFileName(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::vector<std::pair<std::string, ImageFormat>> kExtensions = {
        {"mot", ImageFormat::SRecord},   {"s", ImageFormat::SRecord},    {"s2", ImageFormat::SRecord},
        {"s3", ImageFormat::SRecord},    {"srec", ImageFormat::SRecord}, {"hex", ImageFormat::IntelHex},
        {"ihex", ImageFormat::IntelHex}, {"bin", ImageFormat::Binary},
    };
    for (const auto& [name, format] : kExtensions)
        if (extension == name) return format;
    return std::nullopt;
}

std::optional<ImageFormat> FormatForName(const std::string& name) {
    if (name == "srec") return ImageFormat::SRecord;
    if (name == "ihex") return ImageFormat::IntelHex;
    if (name == "bin") return ImageFormat::Binary;
    return std::nullopt;
}

}  // namespace kv
