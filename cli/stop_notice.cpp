#include "cli/stop_notice.h"

#include <csignal>

#include "platform/stop_signals.h"

namespace kv::cli {

std::string StopNoticeText(int signal) {
    const std::string name = plat::StopSignalName(signal);
    if (signal == SIGPIPE)
        return "kelvane-cli: the output was closed (" + name +
               "): the run stops after the exchange in hand and takes the link back to 9600 bps";
    return "kelvane-cli: " + name +
           " received: the run stops after the exchange in hand and takes the link back to 9600 bps; a second " + name +
           " ends it at once and may leave the board at the link's rate until it is reset";
}

CLockedStream::CLockedStream(std::ostream& target) : std::ostream(nullptr), buffer_(target.rdbuf()) { rdbuf(&buffer_); }

CLockedStream::~CLockedStream() = default;

void CLockedStream::Line(const std::string& text) { buffer_.Line(text); }

void CLockedStream::Buffer::Line(const std::string& text) {
    const std::lock_guard lock(mutex_);
    const std::string line = (atLineStart_ ? "" : "\n") + text + "\n";
    Put(line.data(), static_cast<std::streamsize>(line.size()));
    target_->pubsync();
}

CLockedStream::Buffer::int_type CLockedStream::Buffer::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    const std::lock_guard lock(mutex_);
    return Put(&c, 1) == 1 ? ch : traits_type::eof();
}

std::streamsize CLockedStream::Buffer::xsputn(const char* text, std::streamsize count) {
    const std::lock_guard lock(mutex_);
    return Put(text, count);
}

int CLockedStream::Buffer::sync() {
    const std::lock_guard lock(mutex_);
    return target_->pubsync();
}

std::streamsize CLockedStream::Buffer::Put(const char* text, std::streamsize count) {
    if (count <= 0) return 0;
    const std::streamsize put = target_->sputn(text, count);
    if (put > 0) atLineStart_ = text[put - 1] == '\n';
    return put;
}

}  // namespace kv::cli
