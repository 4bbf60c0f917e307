#include "cli/report_printer.h"

#include <cctype>
#include <cstdio>

namespace kv::cli {

namespace {
constexpr uint32_t kPageBytes = 256;
constexpr int kBarWidth = 30;
// A rate over less time than this says more about the first reply than
// about the link: none is given before it.
constexpr uint32_t kRateWindowMs = 1000;

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t Utf8Length(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}
}  // namespace

CReportPrinter::CReportPrinter(std::ostream& out, std::ostream& err, bool json, ProgressStyle progress)
    : out_(out), err_(err), json_(json), progress_(progress) {}

std::string CReportPrinter::JsonString(const std::string& text) {
    std::string s = "\"";
    for (size_t at = 0; at < text.size(); ++at) {
        const unsigned char ch = static_cast<unsigned char>(text[at]);
        if (ch >= 0x80) {
            // A byte that is not UTF-8 (a file or port name, the loader's
            // text) becomes U+FFFD, so that the line stays JSON.
            const size_t length = Utf8Length(text, at);
            if (length == 0) {
                s += "\\ufffd";
            } else {
                s.append(text, at, length);
                at += length - 1;
            }
            continue;
        }
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
                break;
        }
    }
    return s + "\"";
}

std::string CReportPrinter::JsonKey(const std::string& name) {
    std::string key;
    for (const char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        if (std::isalnum(byte))
            key += static_cast<char>(std::tolower(byte));
        else if (!key.empty() && key.back() != '_')
            key += '_';
    }
    while (!key.empty() && key.back() == '_') key.pop_back();
    return JsonString(key);
}

void CReportPrinter::Result(const std::string& command, int code, const std::string& text, const Fields& fields) {
    if (kept_) kept_->push_back({command, code, text});
    if (watcher_) {
        if (code == 0)
            watcher_->Phase(command + ": " + text, -1);
        else
            watcher_->Failed(code, command + ": " + text);
    }
    if (json_) {
        out_ << "{\"event\":\"result\",\"command\":" << JsonString(command)
             << ",\"ok\":" << (code == 0 ? "true" : "false") << ",\"code\":" << code
             << ",\"message\":" << JsonString(text);
        for (const auto& [name, value] : fields) out_ << "," << JsonKey(name) << ":" << JsonString(value);
        out_ << "}\n";
    } else {
        out_ << command << ": " << text << "\n";
    }
    out_.flush();
}

void CReportPrinter::Refusal(int code, const std::string& text) {
    if (kept_) kept_->push_back({"", code, text});
    if (watcher_) watcher_->Failed(code, text);
    if (json_) {
        out_ << "{\"event\":\"error\",\"code\":" << code << ",\"message\":" << JsonString(text) << "}\n";
        out_.flush();
    }
    err_ << "kelvane-cli: " << text << "\n";
}

void CReportPrinter::Final(int code) {
    if (!json_ || !printExit_) return;
    out_ << "{\"event\":\"exit\",\"ok\":" << (code == 0 ? "true" : "false") << ",\"code\":" << code;
    if (retries_ >= 0) out_ << ",\"retries\":" << retries_;
    out_ << "}\n";
    out_.flush();
}

void CReportPrinter::Trace(const std::string& text) {
    err_ << text << (text.empty() || text.back() != '\n' ? "\n" : "");
}

void CReportPrinter::ProgressStart(const std::string& title, uint32_t pages) {
    // The window titles end in a full stop ("Read check."); a line does not.
    title_ = !title.empty() && title.back() == '.' ? title.substr(0, title.size() - 1) : title;
    lastTenth_ = -1;
    if (watcher_) watcher_->Phase(title, 0);
    if (progress_ == ProgressStyle::None) return;
    if (json_) {
        out_ << "{\"event\":\"progress\",\"title\":" << JsonString(title_) << ",\"pages\":" << pages
             << ",\"done\":0}\n";
        out_.flush();
    }
}

void CReportPrinter::ProgressStep(uint32_t done, uint32_t pages, uint32_t elapsedMs) {
    if (pages == 0) return;
    const int percent = static_cast<int>(uint64_t{done} * 100 / pages);
    if (watcher_) watcher_->Phase(title_, percent);
    if (progress_ == ProgressStyle::None) return;
    const double seconds = elapsedMs / 1000.0;
    const bool measured = elapsedMs >= kRateWindowMs;
    const double rate = measured ? done * kPageBytes / seconds : 0.0;
    const double left = measured ? seconds * (pages - done) / done : 0.0;
    if (json_) {
        if (percent / 10 == lastTenth_ && done != pages) return;
        lastTenth_ = percent / 10;
        out_ << "{\"event\":\"progress\",\"title\":" << JsonString(title_) << ",\"pages\":" << pages
             << ",\"done\":" << done;
        if (measured) out_ << ",\"bytes_per_second\":" << static_cast<uint64_t>(rate);
        out_ << "}\n";
        out_.flush();
        return;
    }
    if (progress_ == ProgressStyle::Bar) {
        const int filled = static_cast<int>(uint64_t{done} * kBarWidth / pages);
        char line[160];
        char speed[48] = "     - B/s    - s left";
        if (measured) std::snprintf(speed, sizeof speed, "%6.0f B/s %4.0f s left", rate, left);
        std::snprintf(line, sizeof line, "\r%-12s [%-*s] %3d%% %u/%u pages %s", title_.c_str(), kBarWidth,
                      std::string(static_cast<size_t>(filled), '#').c_str(), percent, done, pages, speed);
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
