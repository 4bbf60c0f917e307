#pragma once
// The record of one board's run that --log appends to a file: one JSON
// object on one line, so that a line's controller can tell which board got
// which image and how it went.
#include <string>
#include <vector>

#include "cli/report_printer.h"
#include "image/mot_file.h"

namespace kv::cli {

struct RunRecord {
    struct Image {
        std::string file;
        std::string sha256;  // of the data that go to the chip (ImageSha256)
        std::string range;   // its first to its last page with data
    };
    std::string time;  // when the run began, UTC, ISO 8601
    std::string port;
    std::string portById;  // its name under /dev/serial/by-id; empty: none
    std::vector<Image> images;
    std::string loaderVersion;      // empty: not read
    std::vector<ResultLine> steps;  // each command's result and each refusal, in order
    int code = 0;
    double seconds = 0;
    int retries = 0;
};

// The record as one JSON line, line end included.
std::string RunLogLine(const RunRecord& record);

// SHA-256 over the image as it goes to the chip: each page with data in
// ascending order, as its 3-byte address (high byte first) and its 256
// bytes (0xFF where the file has none). The same for the same data in any
// file format.
std::string ImageSha256(const CMotFile& image);

// The present time as "2026-12-08T09:15:02Z".
std::string UtcNow();

}  // namespace kv::cli
