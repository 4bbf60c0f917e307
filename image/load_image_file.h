#pragma once
// One entry for every program file format: S-records and Intel HEX are told
// apart by their content, raw binary is the caller's choice with a base
// address. Whatever the format, a load either fills the image with the whole
// file or leaves it empty and says why.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "image/image_load.h"
#include "image/mot_file.h"

namespace kv {

// The text format a program file is in, told by its first non-empty line:
// Intel HEX when it begins with ":", S-records otherwise (also when the file
// cannot be opened or read: the S-record reader then says why). The stream
// is read from its start and left there.
ImageFormat TextFormatOf(std::istream& in);
ImageFormat TextFormatOfFile(const std::string& path);

// S-record when the first non-empty line begins with "S", Intel HEX when it
// begins with ":"; anything else is refused at that line. Only regular files
// are opened.
ImageLoadResult LoadImageFile(const std::string& path, CMotFile& image);
// The same over a seekable stream opened in binary mode.
ImageLoadResult LoadImageStream(std::istream& in, CMotFile& image);

// The bytes of the file at base, base + 1, ...; refused (at the byte offset
// that would pass 0xFFFFFF) when they do not fit below 0x1000000. Every page
// the file covers becomes present.
ImageLoadResult LoadBinaryFile(const std::string& path, uint32_t base, CMotFile& image);
ImageLoadResult LoadBinaryStream(std::istream& in, uint32_t base, CMotFile& image);

}  // namespace kv
