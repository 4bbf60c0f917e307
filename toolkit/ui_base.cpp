#include "toolkit/ui_base.h"

#include <algorithm>

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
    quitPending_ = true;
    exitCode_ = exitCode;
    // Copy: ending a dialog may let its owner pop it while we walk the stack.
    const std::vector<Dialog*> open = modal_;
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (!(*it)->Ended()) (*it)->EndDialog(IDCANCEL);
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
