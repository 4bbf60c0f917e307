#pragma once
// The outcome of loading a program image in any of the file formats, with
// what the user needs to find the fault: the line of a refused record (or
// the byte offset for raw binary) and a short reason.
#include <cstdint>
#include <string>

namespace kv {

enum class ImageFormat { SRecord, IntelHex, Binary };

enum class ImageLoadStatus {
    Loaded,      // the whole file is in the image
    Refused,     // the file is malformed or does not fit; the image is empty
    CannotOpen,  // missing, not a regular file, or unreadable; the image is empty
};

struct ImageLoadResult {
    ImageLoadStatus status = ImageLoadStatus::CannotOpen;
    ImageFormat format = ImageFormat::SRecord;
    unsigned line = 0;    // 1-based line of the refused record; 0 when no line is to blame
    uint32_t offset = 0;  // raw binary: the byte offset that would pass 0xFFFFFF
    std::string reason;   // "bad checksum", "not found", ...

    bool Loaded() const { return status == ImageLoadStatus::Loaded; }
};

// One line for the user: "line 12: bad checksum", "byte offset 0x3F000:
// data beyond 0xFFFFFF", "not found". Empty for a successful load.
std::string DescribeLoad(const ImageLoadResult& result);

}  // namespace kv
