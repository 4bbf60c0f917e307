#include "cli/report_printer.h"

#include <cstdio>

namespace kv::cli {

namespace {
constexpr uint32_t kPageBytes = 256;
constexpr int kBarWidth = 30;
}  // namespace

CReportPrinter::CReportPrinter(std::ostream& out, std::ostream& err, bool json, ProgressStyle progress)
    : out_(out), err_(err), json_(json), progress_(progress) {}

std::string CReportPrinter::JsonString(const std::string& text) {
    std::string s = "\"";
    for (unsigned char ch : text) {
        switch (ch) {
            case '"': s += "\\\""; break;
            case '\\': s += "\\\\"; break;
            case '\n': s += "\\n"; break;
            case '\r': s += "\\r"; break;
            case '\t': s += "\\t"; break;
            default:
                if (ch < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", ch);
                    s += esc;
                } else {
                    s += static_cast<char>(ch);
                }
        }
    }
    return s + "\"";
}

void CReportPrinter::Result(const std::string& command, int code, const std::string& text, const Fields& fields) {
    if (watcher_) {
        if (code == 0) watcher_->Phase(command + ": " + text, -1);
        else watcher_->Failed(code, command + ": " + text);
    }
    if (json_) {
        out_ << "{\"event\":\"result\",\"command\":" << JsonString(command) << ",\"ok\":" << (code == 0 ? "true" : "false")
             << ",\"code\":" << code << ",\"message\":" << JsonString(text);
        for (const auto& [name, value] : fields) out_ << "," << JsonString(name) << ":" << JsonString(value);
        out_ << "}\n";
    } else {
        out_ << command << ": " << text << "\n";
    }
    out_.flush();
}

void CReportPrinter::Refusal(int code, const std::string& text) {
    if (watcher_) watcher_->Failed(code, text);
    if (json_) {
        out_ << "{\"event\":\"error\",\"code\":" << code << ",\"message\":" << JsonString(text) << "}\n";
        out_.flush();
    }
    err_ << "kelvane-cli: " << text << "\n";
}

void CReportPrinter::Final(int code) {
    if (!json_) return;
    out_ << "{\"event\":\"exit\",\"ok\":" << (code == 0 ? "true" : "false") << ",\"code\":" << code << "}\n";
    out_.flush();
}

void CReportPrinter::Trace(const std::string& text) { err_ << text << (text.empty() || text.back() != '\n' ? "\n" : ""); }

void CReportPrinter::ProgressStart(const std::string& title, uint32_t pages) {
    // The window titles end in a full stop ("Read check."); a line does not.
    title_ = !title.empty() && title.back() == '.' ? title.substr(0, title.size() - 1) : title;
    lastTenth_ = -1;
    if (watcher_) watcher_->Phase(title, 0);
    if (progress_ == ProgressStyle::None) return;
    if (json_) {
        out_ << "{\"event\":\"progress\",\"title\":" << JsonString(title) << ",\"pages\":" << pages << ",\"done\":0}\n";
        out_.flush();
    }
}

void CReportPrinter::ProgressStep(uint32_t done, uint32_t pages, uint32_t elapsedMs) {
    if (pages == 0) return;
    const int percent = static_cast<int>(uint64_t{done} * 100 / pages);
    if (watcher_) watcher_->Phase(title_, percent);
    if (progress_ == ProgressStyle::None) return;
    const double seconds = elapsedMs / 1000.0;
    const double rate = seconds > 0 ? done * kPageBytes / seconds : 0.0;
    const double left = done > 0 ? seconds * (pages - done) / done : 0.0;
    if (json_) {
        if (percent / 10 == lastTenth_ && done != pages) return;
        lastTenth_ = percent / 10;
        out_ << "{\"event\":\"progress\",\"title\":" << JsonString(title_) << ",\"pages\":" << pages
             << ",\"done\":" << done << ",\"bytes_per_second\":" << static_cast<uint64_t>(rate) << "}\n";
        out_.flush();
        return;
    }
    if (progress_ == ProgressStyle::Bar) {
        const int filled = static_cast<int>(uint64_t{done} * kBarWidth / pages);
        char line[160];
        std::snprintf(line, sizeof line, "\r%-12s [%-*s] %3d%% %u/%u pages %6.0f B/s %4.0f s left", title_.c_str(),
                      kBarWidth, std::string(static_cast<size_t>(filled), '#').c_str(), percent, done, pages, rate,
                      left);
        err_ << line << std::flush;
        barOpen_ = true;
    } else if (progress_ == ProgressStyle::Lines) {
        if (percent / 10 == lastTenth_) return;
        lastTenth_ = percent / 10;
        err_ << title_ << ": " << percent << "%\n";
    }
}

void CReportPrinter::ProgressEnd() {
    if (barOpen_) err_ << "\n" << std::flush;
    barOpen_ = false;
}

}  // namespace kv::cli
