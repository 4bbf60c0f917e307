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

// The range read when the command names none: the internal flash area that
// the address dialog offers.
constexpr uint32_t kReadStart = 0x0C0000;
constexpr uint32_t kReadEnd = 0x0FFFFF;

// Empty when a file can be written at `path`; otherwise why not ("out.hex:
// the folder ... does not exist"), so that nothing is read in vain.
std::string CheckReadTarget(const std::string& path);

// Reads start..end (whole pages) into `image` with the read check's page-read
// exchange, without its pause between pages; pages that read all 0xFF are
// not stored. Answers how the loop ended.
CPageLoop::End ReadPages(CLink& link, uint32_t start, uint32_t end, CMotFile& image);

// Reads the command's range and writes its file in its format (replacing an
// older one only when the new one is complete). Answers the outcome and, when
// it is Ok, the text for the result line; after a failure no file is left.
Outcome ReadToFile(CLink& link, const Command& command, std::string& done);

}  // namespace kv::cli
