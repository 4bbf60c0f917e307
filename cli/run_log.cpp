#include "cli/run_log.h"

#include <chrono>
#include <cstdio>

#include "cli/report_printer.h"
#include "image/sha256.h"

namespace kv::cli {

std::string RunLogLine(const RunRecord& r) {
    const auto str = CReportPrinter::JsonString;
    std::string line = "{\"time\":" + str(r.time) + ",\"port\":" + str(r.port) + ",\"port_by_id\":" + str(r.portById);
    line += ",\"images\":[";
    for (size_t i = 0; i < r.images.size(); ++i) {
        const RunRecord::Image& image = r.images[i];
        if (i) line += ',';
        line += "{\"file\":" + str(image.file);
        line += ",\"sha256\":" + str(image.sha256) + ",\"range\":" + str(image.range) + "}";
    }
    line += "],\"loader_version\":" + str(r.loaderVersion) + ",\"results\":[";
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const ResultLine& step = r.steps[i];
        if (i) line += ',';
        line += "{\"command\":" + str(step.command);
        line +=
            std::string(",\"ok\":") + (step.code == 0 ? "true" : "false") + ",\"code\":" + std::to_string(step.code);
        line += ",\"message\":" + str(step.message) + "}";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
    line += "],\"ok\":" + std::string(r.code == 0 ? "true" : "false") + ",\"code\":" + std::to_string(r.code) +
            ",\"seconds\":" + seconds + ",\"retries\":" + std::to_string(r.retries) + "}\n";
    return line;
}

std::string ImageSha256(const CMotFile& image) {
    Sha256 sha;
    image.PresentPages().ForEach([&](uint32_t page) {
        uint8_t bytes[3 + 256];
        bytes[0] = static_cast<uint8_t>(page >> 8);
        bytes[1] = static_cast<uint8_t>(page);
        bytes[2] = 0;
        for (size_t i = 3; i < sizeof bytes; ++i) bytes[i] = 0xFF;
        image.GetPage(bytes + 3, page);
        sha.Update(bytes, sizeof bytes);
    });
    static const char* const kDigits = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : sha.Final()) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string UtcNow() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss time(now - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

}  // namespace kv::cli
