#include "toolkit/ui_base.h"

#include <algorithm>
#include <cstdio>

#include "platform/stop_signals.h"
#include "toolkit/dialog.h"

namespace tk {

std::string IconName(Icon icon) {
    switch (icon) {
        case Icon::Stop: return "stop";
        case Icon::Exclamation: return "exclamation";
        case Icon::Information: return "information";
        case Icon::None: break;
    }
    return "none";
}

void UiBase::Quit(int exitCode) {
    // A clean-up that quits after a stop signal keeps the signal's code.
    if (!quitPending_) exitCode_ = exitCode;
    quitPending_ = true;
    // Copy: ending a dialog may let its owner pop it while we walk the stack.
    const std::vector<Dialog*> open = modal_;
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (!(*it)->Ended()) (*it)->EndDialog(IDCANCEL);
}

std::string UiBase::StampedTrace(const std::string& text) const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%6lld.%03lld ", static_cast<long long>(ms.count() / 1000),
                  static_cast<long long>(ms.count() % 1000));
    std::string out;
    for (const std::string& line : SplitLines(text)) out += stamp + line + "\n";
    return out;
}

bool UiBase::NoticeStop() {
    if (stopSignal_ != 0) return true;
    const int signal = plat::StopSignal();
    if (signal == 0) return false;
    stopSignal_ = signal;
    Stopping(signal);
    // Copy: a cancelled window takes itself off the list.
    const std::vector<Dialog*> open = modeless_;
    for (auto it = open.rbegin(); it != open.rend(); ++it) (*it)->Command(IDCANCEL);
    Quit(128 + signal);
    return true;
}

void UiBase::BeginWaitCursor() {
    if (waitDepth_++ == 0) WaitCursorShown();
}

void UiBase::EndWaitCursor() {
    if (waitDepth_ == 0) return;  // unbalanced End: keep the count sane
    if (--waitDepth_ == 0) WaitCursorHidden();
}

Dialog* UiBase::ActiveWindow() const { return modal_.empty() ? nullptr : modal_.back(); }

std::vector<std::string> UiBase::SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;  // a line has begun and is not yet ended
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
            open = false;
        } else {
            line += c;
            open = true;
        }
    }
    if (open || lines.empty()) lines.push_back(line);
    return lines;
}

UiBase::ModalScope::ModalScope(UiBase& ui, Dialog& dlg) : ui_(ui), dlg_(dlg) { ui_.modal_.push_back(&dlg_); }

UiBase::ModalScope::~ModalScope() {
    auto& m = ui_.modal_;
    auto it = std::find(m.begin(), m.end(), &dlg_);
    if (it != m.end()) m.erase(it);
}

void UiBase::AddModeless(Dialog& dlg) {
    if (std::find(modeless_.begin(), modeless_.end(), &dlg) == modeless_.end()) modeless_.push_back(&dlg);
}

void UiBase::RemoveModeless(Dialog& dlg) {
    auto it = std::find(modeless_.begin(), modeless_.end(), &dlg);
    if (it != modeless_.end()) modeless_.erase(it);
}

}  // namespace tk
