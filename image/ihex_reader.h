#pragma once
// Intel HEX program files: every record is checked in full (digits, count,
// checksum, type) before anything is stored, and the first fault refuses the
// whole file with its line number.
#include <cstddef>
#include <iosfwd>

#include "image/image_load.h"
#include "image/mot_file.h"

namespace kv {

// ":" and the record in two digits per byte (count, address, type, up to 255
// data bytes, checksum), with room for trailing blanks.
constexpr size_t kMaxHexLine = 1 + 2 * (1 + 2 + 1 + 255 + 1) + 64;

// Clears the image and reads records into it up to the end-of-file record
// (01), which is required; only blank lines may follow it. Data records (00)
// land at the extended linear (04) or segment (02) base plus their offset;
// within a segment the offset wraps at 64 KiB. Start addresses (03, 05) are
// accepted and ignored, any other type is refused, as is data beyond
// 0xFFFFFF and a byte that two records give different values. Blanks after a record (an editor's leftovers) are
// tolerated. On refusal the image is left empty.
ImageLoadResult LoadIntelHex(std::istream& in, CMotFile& image);

}  // namespace kv
