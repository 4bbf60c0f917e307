#include "image/load_image_file.h"

#include <cstdio>
#include <istream>
#include <vector>

#include "image/ihex_reader.h"
#include "image/line_reader.h"
#include "image/srec_record.h"
#include "platform/file_access.h"

namespace kv {
namespace {

ImageLoadResult Refused(ImageFormat format, unsigned line, const char* reason) {
    ImageLoadResult result;
    result.status = ImageLoadStatus::Refused;
    result.format = format;
    result.line = line;
    result.reason = reason;
    return result;
}

ImageLoadResult CannotRead(ImageFormat format, const std::string& reason) {
    ImageLoadResult result;
    result.format = format;
    result.reason = reason;
    return result;
}

// The S-record loader keeps what it read before a fault; here a refused
// file leaves nothing behind, as for the other formats.
ImageLoadResult LoadSRecords(std::istream& in, CMotFile& image) {
    image.LoadStream(in, true);
    const unsigned line = image.LastLine();
    switch (image.LastStatus()) {
        case LoadStatus::Complete: {
            ImageLoadResult result;
            result.status = ImageLoadStatus::Loaded;
            return result;
        }
        case LoadStatus::CannotOpen: return CannotRead(ImageFormat::SRecord, "could not be read");
        case LoadStatus::NotSRecord:
        case LoadStatus::BadRecord:
            image.Clear();
            return Refused(ImageFormat::SRecord, line, image.LastReason().c_str());
        case LoadStatus::NoTermination: break;
    }
    image.Clear();
    return Refused(ImageFormat::SRecord, 0, "no termination record (S7, S8 or S9)");
}

template <class Load>
ImageLoadResult WithRegularFile(const std::string& path, ImageFormat format, CMotFile& image, Load load) {
    image.Clear();
    plat::OpenError error = plat::OpenError::None;
    std::string reason;
    const auto in = plat::OpenRegularFile(path, error, reason);
    if (!in) return CannotRead(format, reason);
    return load(*in);
}

// The first character of the first non-empty line, and that line's number;
// the stream is taken back to its start. Nothing when it cannot be read.
struct FirstLine {
    bool read = false;
    char first = 0;  // 0 for a file without a non-empty line
    unsigned number = 0;
};

FirstLine ProbeFirstLine(std::istream& in) {
    FirstLine probed;
    // Look at the first non-empty line only, then read from the start again.
    LineReader probe(in, 1);
    std::string_view line;
    while (probe.Next(line) && line.empty()) {}
    if (probe.ReadFailed()) return probed;
    if (!line.empty()) probed.first = line[0];
    probed.number = probe.LineNumber();
    in.clear();
    probed.read = static_cast<bool>(in.seekg(0));
    return probed;
}

}  // namespace

ImageFormat TextFormatOf(std::istream& in) {
    const FirstLine probed = ProbeFirstLine(in);
    return probed.read && probed.first == ':' ? ImageFormat::IntelHex : ImageFormat::SRecord;
}

ImageFormat TextFormatOfFile(const std::string& path) {
    plat::OpenError error = plat::OpenError::None;
    std::string reason;
    const auto in = plat::OpenRegularFile(path, error, reason);
    return in ? TextFormatOf(*in) : ImageFormat::SRecord;
}

ImageLoadResult LoadImageStream(std::istream& in, CMotFile& image) {
    image.Clear();
    const FirstLine probed = ProbeFirstLine(in);
    if (!probed.read) return CannotRead(ImageFormat::SRecord, "could not be read");
    if (probed.first == 0) return Refused(ImageFormat::SRecord, 0, "empty file");
    if (probed.first == 'S') return LoadSRecords(in, image);
    if (probed.first == ':') return LoadIntelHex(in, image);
    return Refused(ImageFormat::SRecord, probed.number, "neither an S-record nor an Intel HEX record");
}

ImageLoadResult LoadImageFile(const std::string& path, CMotFile& image) {
    return WithRegularFile(path, ImageFormat::SRecord, image,
                           [&](std::istream& in) { return LoadImageStream(in, image); });
}

ImageLoadResult LoadBinaryStream(std::istream& in, uint32_t base, CMotFile& image) {
    image.Clear();
    ImageLoadResult result;
    result.format = ImageFormat::Binary;
    std::vector<char> chunk(64 * 1024);
    uint32_t offset = 0;
    for (;;) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<uint32_t>(in.gcount());
        if (got > 0 && !image.Put(base + offset, reinterpret_cast<const uint8_t*>(chunk.data()), got)) {
            image.Clear();
            result.status = ImageLoadStatus::Refused;
            result.offset = base < CMotFile::kAddressSpace ? CMotFile::kAddressSpace - base : 0;
            result.reason = "data beyond 0xFFFFFF";
            return result;
        }
        offset += got;
        if (in.bad()) {
            image.Clear();
            result.reason = "could not be read";
            return result;
        }
        if (!in) break;
    }
    result.status = ImageLoadStatus::Loaded;
    return result;
}

ImageLoadResult LoadBinaryFile(const std::string& path, uint32_t base, CMotFile& image) {
    return WithRegularFile(path, ImageFormat::Binary, image,
                           [&](std::istream& in) { return LoadBinaryStream(in, base, image); });
}

std::string DescribeLoad(const ImageLoadResult& result) {
    if (result.Loaded()) return {};
    char where[48] = "";
    if (result.status == ImageLoadStatus::Refused) {
        if (result.format == ImageFormat::Binary)
            std::snprintf(where, sizeof where, "byte offset 0x%X: ", result.offset);
        else if (result.line > 0)
            std::snprintf(where, sizeof where, "line %u: ", result.line);
    }
    return where + result.reason;
}

}  // namespace kv
