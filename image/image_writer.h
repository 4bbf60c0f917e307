#pragma once
// Writes a range of the memory image as S-records, Intel HEX or raw binary.
// Absent pages and unwritten bytes read 0xFF, as on a blank chip.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "image/image_load.h"
#include "image/mot_file.h"

namespace kv {

struct ImageWriteOptions {
    uint32_t start = 0x0C0000;  // first address of the range
    uint32_t end = 0x0FFFFF;    // last address of the range, inclusive
    // S-records and Intel HEX leave out pages whose bytes in the range are
    // all 0xFF, unless this is set. Raw binary always holds the whole range.
    bool allPages = false;
    unsigned recordBytes = 32;  // data bytes per record, 1 to 64
    std::string header;         // S0 header text (at most 64 characters); none when empty
};

// Whether the options can be written: start <= end <= 0xFFFFFF and a record
// size of 1 to 64 bytes. Answers null when they can, else why not.
const char* CheckWriteOptions(const ImageWriteOptions& options);

// S1 records when every address written fits 16 bits, else S2; ended by the
// matching S9 or S8 (start address 0).
bool WriteSRecords(const CMotFile& image, const ImageWriteOptions& options, std::ostream& out);
// Data records with an extended linear address record (04) before the first
// one and wherever the upper 16 address bits change; ended by 01.
bool WriteIntelHex(const CMotFile& image, const ImageWriteOptions& options, std::ostream& out);
// The bytes of the range, end - start + 1 of them.
bool WriteBinary(const CMotFile& image, const ImageWriteOptions& options, std::ostream& out);
bool WriteImage(ImageFormat format, const CMotFile& image, const ImageWriteOptions& options, std::ostream& out);

// The format a file name asks for: ".mot", ".s", ".s2", ".s3", ".srec" for
// S-records, ".hex", ".ihex" for Intel HEX, ".bin" for raw binary (any case).
std::optional<ImageFormat> FormatForFileName(const std::string& path);
// "srec", "ihex", "bin" as given to --format.
std::optional<ImageFormat> FormatForName(const std::string& name);

}  // namespace kv
