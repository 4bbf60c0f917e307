#include "toolkit/console/console_ui.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "platform/stop_signals.h"

namespace tk {

namespace {

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A text on one line: its line breaks become one space each.
std::string OneLine(const std::string& text) {
    std::string out;
    for (const auto& line : UiBase::SplitLines(text)) {
        if (!out.empty()) out += ' ';
        out += line;
    }
    return out;
}

std::optional<int> ParseId(const std::string& s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return std::nullopt;
    for (size_t k = i; k < s.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(s[k]))) return std::nullopt;
    return std::stoi(s);
}

const char* KindWord(Kind kind) {
    switch (kind) {
        case Kind::PushButton: return "button";
        case Kind::Edit: return "edit";
        case Kind::ComboBox: return "combo";
        case Kind::RadioButton: return "radio";
        case Kind::GroupBox: return "group";
        case Kind::Static: return "static";
        case Kind::ProgressBar: return "progress";
        case Kind::Separator: return "separator";
        case Kind::Icon: return "icon";
    }
    return "control";
}

bool IsVisible(const Dialog& dlg, const Control& c) {
    return c.id == IDC_STATIC ? !(c.style & kHidden) : dlg.IsItemVisible(c.id);
}

bool IsEnabled(const Dialog& dlg, const Control& c) {
    return c.id == IDC_STATIC ? !(c.style & kDisabled) : dlg.IsItemEnabled(c.id);
}

const Control* ProgressBarOf(const Dialog& dlg) {
    for (const auto& c : dlg.Template().controls)
        if (c.kind == Kind::ProgressBar && c.id != IDC_STATIC) return &c;
    return nullptr;
}

constexpr int kBarWidth = 20;

}  // namespace

// Shows a progress window: its title and message once, then its position.
class ConsoleUi::ProgressView : public DialogObserver {
public:
    ProgressView(ConsoleUi& ui, Dialog& dlg, int barId) : ui_(ui), dlg_(dlg), barId_(barId) {
        low_ = dlg.State(barId).rangeLow;
        high_ = dlg.State(barId).rangeHigh;
    }

    void ControlChanged(int id) override {
        if (id != barId_) return;
        const ControlState& s = dlg_.State(id);
        Header();
        if (s.rangeLow != low_ || s.rangeHigh != high_) {
            low_ = s.rangeLow;
            high_ = s.rangeHigh;
            lastTenth_ = -1;
            lastPercent_ = -1;
        }
        Draw(s.pos);
    }
    void CaptionChanged() override {}
    void FocusChanged(int) override {}
    void WindowEnabledChanged() override {}
    void Ended() override {}

    void Header() {
        if (headerShown_) return;
        headerShown_ = true;
        std::string message;
        for (const auto& c : dlg_.Template().controls)
            if (c.kind == Kind::Static && c.id != IDC_STATIC && dlg_.IsItemVisible(c.id)) {
                message = OneLine(dlg_.GetItemText(c.id));
                break;
            }
        ui_.Out() << dlg_.Caption() << (message.empty() ? "" : ": " + message) << '\n' << std::flush;
    }

private:
    void Draw(int pos) {
        const int64_t span = static_cast<int64_t>(high_) - low_;
        const int64_t done = std::clamp<int64_t>(static_cast<int64_t>(pos) - low_, 0, std::max<int64_t>(span, 0));
        const int percent = span > 0 ? static_cast<int>(done * 100 / span) : (pos >= high_ ? 100 : 0);
        std::ostream& out = ui_.out_;
        if (ui_.terminal_) {
            if (percent == lastPercent_ && ui_.barLineOpen_) return;
            lastPercent_ = percent;
            const int filled = percent * kBarWidth / 100;
            std::string pct = std::to_string(percent);
            out << "\r  [" << std::string(static_cast<size_t>(filled), '#')
                << std::string(static_cast<size_t>(kBarWidth - filled), ' ') << "] "
                << std::string(3 - std::min<size_t>(3, pct.size()), ' ') << pct << '%' << std::flush;
            ui_.barLineOpen_ = true;
        } else {
            const int tenth = percent / 10;
            if (tenth <= lastTenth_) return;
            lastTenth_ = tenth;
            out << "  " << tenth * 10 << "%\n" << std::flush;
        }
    }

    ConsoleUi& ui_;
    Dialog& dlg_;
    int barId_;
    int low_ = 0;
    int high_ = 0;
    int lastTenth_ = -1;
    int lastPercent_ = -1;
    bool headerShown_ = false;
};

ConsoleUi::ConsoleUi(LineSource& in, std::ostream& out, bool terminal) : in_(in), out_(out), terminal_(terminal) {}

ConsoleUi::ConsoleUi(std::unique_ptr<LineSource> in, std::ostream& out, bool terminal)
    : owned_(std::move(in)), in_(*owned_), out_(out), terminal_(terminal) {}

ConsoleUi::~ConsoleUi() {
    for (auto& [dlg, view] : views_) dlg->Attach(nullptr);
}

std::unique_ptr<ConsoleUi> ConsoleUi::ForStdio() {
    return std::make_unique<ConsoleUi>(plat::MakeFdLineSource(0, plat::StopWakeFd()), std::cout, plat::IsTerminal(1));
}

std::ostream& ConsoleUi::Out() {
    if (barLineOpen_) {
        out_ << '\n';
        barLineOpen_ = false;
    }
    return out_;
}

bool ConsoleUi::Read(std::string& line) {
    out_ << std::flush;
    const bool got = !NoticeStop() && in_.ReadLine(line);
    if (in_.TakeRefusedLines() > 0)
        Out() << "error: input line longer than " << plat::kMaxInputLine << " bytes skipped\n";
    if (got) return true;
    out_ << '\n' << std::flush;
    // The wait may have ended because a stop signal came.
    NoticeStop();
    return false;
}

void ConsoleUi::Stopping(int signal) {
    Out() << "stopped: " << plat::StopSignalName(signal) << " received\n" << std::flush;
}

// ---- modal dialogs ---------------------------------------------------------

std::string ConsoleUi::ControlLine(const Dialog& dlg, const Control& c) {
    const bool hasState = c.id != IDC_STATIC;
    const ControlState& s = dlg.State(c.id);
    const std::string text = OneLine(hasState ? s.text : c.label);
    std::string label, value;
    bool hasValue = false;
    switch (c.kind) {
        case Kind::PushButton:
        case Kind::GroupBox:
        case Kind::Static: label = text; break;
        case Kind::Edit:
            label = c.label;
            value = text;
            hasValue = true;
            break;
        case Kind::ComboBox: {
            label = c.label;
            value = text;
            // An empty list (no recent files yet) is not worth a line's noise.
            if (!c.items.empty()) {
                value += " (list:";
                for (size_t i = 0; i < c.items.size(); ++i) value += (i ? ", " : " ") + c.items[i];
                value += ')';
            }
            hasValue = true;
            break;
        }
        case Kind::RadioButton:
            label = text;
            value = s.checked ? "on" : "off";
            hasValue = true;
            break;
        case Kind::ProgressBar:
            value =
                std::to_string(s.pos) + " (" + std::to_string(s.rangeLow) + ".." + std::to_string(s.rangeHigh) + ")";
            hasValue = true;
            break;
        case Kind::Separator:
        case Kind::Icon: break;
    }
    std::string line = "  [" + std::to_string(c.id) + "] " + KindWord(c.kind);
    if (!label.empty()) line += " " + label;
    if (hasValue) line += ": " + value;
    if (!IsEnabled(dlg, c)) line += " (disabled)";
    if (c.kind == Kind::Edit && (c.style & kReadOnly)) line += " (read-only)";
    return line;
}

std::string ConsoleUi::Listing(const Dialog& dlg) {
    std::string out = "== " + dlg.Caption() + " ==\n";
    for (const auto& c : dlg.Template().controls)
        if (IsVisible(dlg, c)) out += ControlLine(dlg, c) + '\n';
    for (const auto& m : dlg.SystemMenu()) {
        std::string text = m.text;
        std::erase(text, '&');
        out += "  [menu " + std::to_string(m.id) + "] " + text + '\n';
    }
    return out;
}

int ConsoleUi::RunModal(Dialog& dlg) {
    if (NoticeStop() || QuitRequested()) return IDCANCEL;
    ModalScope scope(*this, dlg);
    dlg.Initialize();
    if (!dlg.Ended() && !QuitRequested()) Out() << Listing(dlg);
    bool inputEnded = false;
    while (!dlg.Ended() && !QuitRequested()) {
        if (inputEnded) {
            // Cancel did not end it and nobody is left to answer.
            dlg.EndDialog(IDCANCEL);
            break;
        }
        Out() << "> ";
        std::string line;
        if (!Read(line)) {
            inputEnded = true;
            dlg.Command(IDCANCEL);
            continue;
        }
        Handle(dlg, line);
    }
    return dlg.Ended() ? dlg.Result() : IDCANCEL;
}

void ConsoleUi::Handle(Dialog& dlg, const std::string& raw) {
    const std::string line = Trim(raw);
    if (line.empty()) return;
    const std::string word = Lower(line);
    if (word == "show") {
        Out() << Listing(dlg);
        return;
    }
    if (word == "ok" || word == "cancel") {
        Press(dlg, word == "ok" ? IDOK : IDCANCEL, true);
        return;
    }
    if (word.rfind("menu ", 0) == 0) {
        const auto id = ParseId(Trim(line.substr(5)));
        const auto& menu = dlg.SystemMenu();
        if (id && std::any_of(menu.begin(), menu.end(), [&](const MenuEntry& m) { return m.id == *id; }))
            dlg.SysCommand(*id);
        else
            Out() << "error: no menu entry " << Trim(line.substr(5)) << '\n';
        return;
    }
    const size_t eq = line.find('=');
    const auto id = ParseId(Trim(line.substr(0, eq)));
    if (!id) {
        Out() << "error: unknown input \"" << line << "\"; type <id>=<text>, <id>, ok, cancel, show or menu <id>\n";
        return;
    }
    if (eq == std::string::npos)
        Press(dlg, *id, false);
    else
        SetText(dlg, *id, Trim(line.substr(eq + 1)));
}

bool ConsoleUi::Reachable(const Dialog& dlg, int id) {
    const char* problem = nullptr;
    if (!dlg.Template().Find(id))
        problem = "no control ";
    else if (!dlg.IsItemVisible(id))
        problem = "hidden control ";
    else if (!dlg.IsItemEnabled(id))
        problem = "disabled control ";
    if (!problem) return true;
    Out() << "error: " << problem << id << '\n';
    return false;
}

void ConsoleUi::Press(Dialog& dlg, int id, bool keyboard) {
    // Enter and Escape reach a dialog that has no OK or Cancel button.
    if (keyboard && !dlg.Template().Find(id)) {
        dlg.Command(id);
        return;
    }
    if (!Reachable(dlg, id)) return;
    const Kind kind = dlg.Template().Find(id)->kind;
    if (kind != Kind::PushButton && kind != Kind::RadioButton) {
        Out() << "error: control " << id << " is not a button\n";
        return;
    }
    dlg.Command(id);
}

void ConsoleUi::SetText(Dialog& dlg, int id, const std::string& text) {
    if (!Reachable(dlg, id)) return;
    const Control& c = *dlg.Template().Find(id);
    if (c.kind != Kind::Edit && c.kind != Kind::ComboBox) {
        Out() << "error: control " << id << " is not a text field\n";
        return;
    }
    if (c.style & kReadOnly) {
        Out() << "error: control " << id << " is read-only\n";
        return;
    }
    dlg.UserEdit(id, text);
}

// ---- message boxes and file-open --------------------------------------------

int ConsoleUi::MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) {
    if (NoticeStop() || QuitRequested()) return IDCANCEL;
    const auto lines = SplitLines(text);
    std::ostream& out = Out();
    out << caption << " (" << IconName(icon) << "): " << lines[0] << '\n';
    for (size_t i = 1; i < lines.size(); ++i) out << "  " << lines[i] << '\n';
    if (buttons == Buttons::Ok) {
        out << std::flush;
        return IDOK;
    }
    for (;;) {
        out << "[OK/Cancel]? ";
        std::string line;
        if (!Read(line)) return IDCANCEL;
        const std::string answer = Lower(Trim(line));
        if (answer.empty() || answer == "ok") return IDOK;
        if (answer == "cancel") return IDCANCEL;
        out << "error: answer ok or cancel\n";
    }
}

std::optional<std::string> ConsoleUi::OpenFile(const std::string& filter) {
    if (NoticeStop() || QuitRequested()) return std::nullopt;
    for (;;) {
        Out() << "Open file [" << filter << "]: ";
        std::string line;
        if (!Read(line)) return std::nullopt;
        const std::string path = Trim(line);
        if (path.empty()) return std::nullopt;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path;
        out_ << path << "\nFile not found.\nPlease verify the correct file name was given.\n";
    }
}

// ---- modeless windows, pump, trace --------------------------------------------

void ConsoleUi::ShowModeless(Dialog& dlg) {
    AddModeless(dlg);
    if (const Control* bar = ProgressBarOf(dlg)) {
        auto& view = views_[&dlg];
        view = std::make_unique<ProgressView>(*this, dlg, bar->id);
        dlg.Attach(view.get());
    } else {
        Out() << "== " << dlg.Caption() << " ==\n" << std::flush;
    }
}

void ConsoleUi::DestroyModeless(Dialog& dlg) {
    auto it = views_.find(&dlg);
    if (it != views_.end()) {
        it->second->Header();  // a window taken down before its bar moved still shows once
        dlg.Attach(nullptr);
        views_.erase(it);
        Out() << std::flush;  // ends a bar drawn in place
    }
    RemoveModeless(dlg);
}

bool ConsoleUi::PumpPending() {
    // A stop signal cancels the progress window like a typed "cancel".
    if (NoticeStop() || QuitRequested()) return false;
    // The topmost progress window takes a "cancel" that has already arrived;
    // any other line stays for the next prompt.
    Dialog* progress = nullptr;
    for (auto it = ModelessWindows().rbegin(); it != ModelessWindows().rend() && !progress; ++it)
        if (views_.count(*it)) progress = *it;
    if (progress) {
        const auto next = in_.PeekCompleteLine();
        if (next && Lower(Trim(*next)) == "cancel") {
            std::string taken;
            in_.ReadLine(taken);
            progress->Command(IDCANCEL);  // may destroy and delete the window
        }
    }
    return !QuitRequested();
}

void ConsoleUi::Trace(const std::string& text) {
    if (TracesShown()) Out() << StampedTrace(text) << std::flush;
}

}  // namespace tk
