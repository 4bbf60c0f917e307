#pragma once
// Loads a command's program file into the image in whichever format it comes:
// S-records or Intel HEX told by the content, raw binary at --base; "-" is
// standard input.
#include <string>

#include "cli/cli_options.h"
#include "image/mot_file.h"

namespace kv::cli {

// Empty when the whole file is in the image and it holds data; otherwise one
// line naming the file and the fault ("fw.hex: line 12: bad checksum",
// "fw.mot: no data records"), and the image is empty. Standard input is read
// once, to its end, and kept for the later loads of the run.
std::string LoadProgramFile(const Command& command, CMotFile& image);

// Empty when every present page of the image lies in the flash of the MCU
// type; otherwise "fw.mot: data at 401000 lie outside the flash of the
// Vireo/M (0C0000-0FFFFF)", naming the first such address.
std::string CheckImageInFlash(const std::string& file, const CMotFile& image, int mcuType);

}  // namespace kv::cli
