#pragma once
// kelvane-cli read: the chip's flash page by page into a file that appears
// only when every page of the range was read.
#include <cstdint>
#include <string>

#include "cli/cli_options.h"
#include "image/mot_file.h"
#include "link/outcome.h"
#include "ops/page_loop.h"

namespace kv {
class CLink;
}

namespace kv::cli {

// Empty when a file can be written at `path` ("-": standard output);
// otherwise why not ("out.hex: not a regular file"), so that nothing is read
// in vain: only a regular file or a new name is written, and the folder must
// let a file be made there.
std::string CheckReadTarget(const std::string& path);

// Reads start..end (whole pages) into `image` with the read check's page-read
// exchange, without its pause between pages; pages that read all 0xFF are
// not stored. Answers how the loop ended.
CPageLoop::End ReadPages(CLink& link, uint32_t start, uint32_t end, CMotFile& image);

// Reads the command's range and writes its file in its format (replacing an
// older one only when the new one is complete), or for "-" to standard
// output. Answers the outcome and, when it is Ok, the text for the result
// line; after a failure no file is left.
// Without a range of its own the command reads `flash`, the flash of the
// MCU type.
Outcome ReadToFile(CLink& link, const Command& command, std::pair<uint32_t, uint32_t> flash, std::string& done);

}  // namespace kv::cli
