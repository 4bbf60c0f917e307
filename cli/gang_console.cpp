#include "cli/gang_console.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_codes.h"

namespace kv::cli {

namespace {

constexpr size_t kMaxPortWidth = 40;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);  // a live line needs no more

std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string ResultWord(const PortOutcome& o) {
    std::string word =
        o.code == 0 ? "ok" : (o.code > kExitSignalBase ? "stopped (" : "failed (") + std::to_string(o.code) + ")";
    if (o.retries > 0) word += ", " + std::to_string(o.retries) + (o.retries == 1 ? " retry" : " retries");
    return word;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

CGangConsole::CGangConsole(std::ostream& out, std::ostream& err, Style style, std::vector<std::string> ports,
                           int columns)
    : out_(out), err_(err), style_(style), ports_(std::move(ports)), status_(ports_.size()), columns_(columns) {
    for (const std::string& port : ports_) portWidth_ = std::max(portWidth_, std::min(port.size(), kMaxPortWidth));
    for (Status& s : status_) s.phase = "connecting";
    if (style_ == Style::Live) DrawBlock();
}

void CGangConsole::Line(size_t index, bool toErr, const std::string& text) {
    const std::lock_guard lock(mutex_);
    const std::string& port = ports_.at(index);
    if (style_ == Style::Json && !toErr && !text.empty() && text[0] == '{') {
        const bool empty = text.size() > 1 && text[1] == '}';
        out_ << "{\"port\":" << CReportPrinter::JsonString(port) << (empty ? "" : ",") << text.substr(1) << "\n";
        out_.flush();
        return;
    }
    if (style_ == Style::Live) EraseBlock();
    std::ostream& to = toErr ? err_ : out_;
    to << port << ": " << text << "\n";
    to.flush();
    if (style_ == Style::Live) DrawBlock();
}

void CGangConsole::Notice(const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (style_ == Style::Live) EraseBlock();
    err_ << text << "\n";
    err_.flush();
    if (style_ == Style::Live) DrawBlock();
}

void CGangConsole::Phase(size_t index, const std::string& phase, int percent) {
    const std::lock_guard lock(mutex_);
    Status& s = status_.at(index);
    const bool changed = s.phase != phase || (percent == 100 && s.percent != 100);
    s.phase = phase;
    s.percent = percent;
    if (style_ != Style::Live) return;
    if (changed || std::chrono::steady_clock::now() - lastDraw_ >= kRedrawEvery) DrawBlock();
}

std::string CGangConsole::StatusLine(size_t index) const {
    const Status& s = status_[index];
    char percent[16] = "    ";
    if (s.percent >= 0) std::snprintf(percent, sizeof percent, "%3d%%", s.percent);
    std::string line = Padded(ports_[index], portWidth_) + "  " + percent + "  " + s.phase;
    const size_t width = columns_ > 1 ? static_cast<size_t>(columns_ - 1) : 79;
    if (line.size() > width) line.resize(width);  // a wrapped line would break the redraw
    return line;
}

void CGangConsole::EraseBlock() {
    if (drawn_ == 0) return;
    out_ << "\x1b[" << drawn_ << "A\r\x1b[J";
    out_.flush();
    drawn_ = 0;
}

void CGangConsole::DrawBlock() {
    if (drawn_ > 0) out_ << "\x1b[" << drawn_ << "A\r";
    for (size_t i = 0; i < ports_.size(); ++i) out_ << "\x1b[2K" << StatusLine(i) << "\n";
    out_.flush();
    drawn_ = ports_.size();
    lastDraw_ = std::chrono::steady_clock::now();
}

void CGangConsole::Summary(const std::vector<PortOutcome>& outcomes, int code, bool failuresOnly) {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> failed;
    for (const PortOutcome& o : outcomes)
        if (o.code != 0) failed.push_back(o.port);
    if (style_ == Style::Json) {
        for (const PortOutcome& o : outcomes) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f", o.seconds);
            out_ << "{\"port\":" << CReportPrinter::JsonString(o.port)
                 << ",\"event\":\"summary\",\"ok\":" << (o.code == 0 ? "true" : "false") << ",\"code\":" << o.code
                 << ",\"error\":" << CReportPrinter::JsonString(o.firstError) << ",\"seconds\":" << seconds
                 << ",\"retries\":" << o.retries << "}\n";
        }
        out_ << "{\"event\":\"exit\",\"ok\":" << (code == 0 ? "true" : "false") << ",\"code\":" << code
             << ",\"failed\":[";
        for (size_t i = 0; i < failed.size(); ++i) out_ << (i ? "," : "") << CReportPrinter::JsonString(failed[i]);
        out_ << "]}\n";
        out_.flush();
        return;
    }
    if (style_ == Style::Live) {
        DrawBlock();  // the last state stays on the screen
        drawn_ = 0;
    }
    if (failuresOnly && failed.empty()) return;
    const auto shown = [&](const PortOutcome& o) { return !failuresOnly || o.code != 0; };
    size_t portWidth = 4, resultWidth = 6, errorWidth = 11;
    for (const PortOutcome& o : outcomes) {
        if (!shown(o)) continue;
        portWidth = std::max(portWidth, o.port.size());
        resultWidth = std::max(resultWidth, ResultWord(o).size());
        errorWidth = std::max(errorWidth, o.firstError.size());
    }
    out_ << "\n"
         << Padded("PORT", portWidth) << "  " << Padded("RESULT", resultWidth) << "  "
         << Padded("FIRST ERROR", errorWidth) << "  TIME\n";
    for (const PortOutcome& o : outcomes) {
        if (!shown(o)) continue;
        out_ << Padded(o.port, portWidth) << "  " << Padded(ResultWord(o), resultWidth) << "  "
             << Padded(o.firstError.empty() ? "-" : o.firstError, errorWidth) << "  " << Seconds(o.seconds) << "\n";
    }
    if (failed.empty()) {
        out_ << "all " << outcomes.size() << " ports succeeded\n";
    } else {
        out_ << failed.size() << " of " << outcomes.size() << " ports failed:";
        for (size_t i = 0; i < failed.size(); ++i) out_ << (i ? ", " : " ") << failed[i];
        out_ << " (exit status " << code << ")\n";
    }
    out_.flush();
}

CPortStream::CPortStream(CGangConsole& console, size_t index, bool toErr)
    : std::ostream(nullptr), buffer_(console, index, toErr) {
    rdbuf(&buffer_);
}

CPortStream::~CPortStream() { buffer_.Flush(); }

void CPortStream::Buffer::Flush() {
    if (pending_.empty()) return;
    console_.Line(index_, toErr_, pending_);
    pending_.clear();
}

CPortStream::Buffer::int_type CPortStream::Buffer::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    if (c == '\n') {
        console_.Line(index_, toErr_, pending_);
        pending_.clear();
    } else if (c != '\r') {  // a redrawn line is a whole line here
        pending_ += c;
    }
    return ch;
}

std::streamsize CPortStream::Buffer::xsputn(const char* text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i) overflow(traits_type::to_int_type(text[i]));
    return count;
}

void CPortWatcher::Failed(int code, const std::string& text) {
    if (firstError_.empty()) firstError_ = text;
    console_.Phase(index_, "failed (" + std::to_string(code) + "): " + text, -1);
}

}  // namespace kv::cli
