#pragma once
// Loads a command's program file into the image in whichever format it comes:
// S-records or Intel HEX told by the content, raw binary at --base.
#include <string>

#include "cli/cli_options.h"
#include "image/mot_file.h"

namespace kv::cli {

// Empty when the whole file is in the image; otherwise one line naming the
// file and the fault ("fw.hex: line 12: bad checksum"), and the image is empty.
std::string LoadProgramFile(const Command& command, CMotFile& image);

}  // namespace kv::cli
