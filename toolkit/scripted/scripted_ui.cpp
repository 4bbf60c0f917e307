#include "toolkit/scripted/scripted_ui.h"

#include <algorithm>
#include <sstream>

namespace tk {

namespace {

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

std::string AnswerName(int answer) {
    if (answer == IDOK) return "OK";
    if (answer == IDCANCEL) return "Cancel";
    return std::to_string(answer);
}

ScriptEvent Event(ScriptEvent::Type type, int templateId = 0, const std::string& caption = {}) {
    ScriptEvent e;
    e.type = type;
    e.templateId = templateId;
    e.caption = caption;
    return e;
}

std::string DialogName(const Dialog& dlg) {
    return "dialog " + std::to_string(dlg.Template().id) + " " + Quoted(dlg.Caption());
}

}  // namespace

// Follows one open dialog: records what a modeless window shows and the
// enabled state of any window.
class ScriptedUi::Watch : public DialogObserver {
public:
    Watch(ScriptedUi& ui, Dialog& dlg, bool modeless) : ui_(ui), dlg_(dlg), modeless_(modeless) {
        for (const auto& c : dlg.Template().controls)
            if (c.id != IDC_STATIC) last_[c.id] = dlg.State(c.id);
    }

    void ControlChanged(int id) override {
        if (!modeless_) return;
        const Control* c = dlg_.Template().Find(id);
        if (!c) return;
        const ControlState& now = dlg_.State(id);
        ControlState& was = last_[id];
        if (c->kind == Kind::ProgressBar) {
            // One notification per call: a changed range is SetRange, anything
            // else that is not a state change is SetPos (repeats included).
            if (now.rangeLow != was.rangeLow || now.rangeHigh != was.rangeHigh)
                ranges.emplace_back(now.rangeLow, now.rangeHigh);
            else if (now.text != was.text)
                barTexts.push_back(now.text);
            else if (now.enabled == was.enabled && now.visible == was.visible)
                positions.push_back(now.pos);
        } else if (c->kind == Kind::Static && now.text != was.text) {
            messages.push_back(now.text);
        }
        was = now;
    }
    void CaptionChanged() override {}
    void FocusChanged(int) override {}
    void WindowEnabledChanged() override {
        ScriptEvent e;
        e.type = ScriptEvent::Type::WindowEnabled;
        e.templateId = dlg_.Template().id;
        e.caption = dlg_.Caption();
        e.enabled = dlg_.IsWindowEnabled();
        ui_.Record(std::move(e));
    }
    void Ended() override {}

    std::vector<std::string> messages;
    std::vector<int> positions;
    std::vector<std::pair<int, int>> ranges;
    std::vector<std::string> barTexts;

private:
    ScriptedUi& ui_;
    Dialog& dlg_;
    bool modeless_;
    std::map<int, ControlState> last_;
};

ScriptedUi::ScriptedUi() = default;

ScriptedUi::~ScriptedUi() {
    for (auto& [dlg, watch] : watches_) dlg->Attach(nullptr);
}

// ---- script building -------------------------------------------------------

ScriptedUi& ScriptedUi::Add(Action a) {
    script_.push_back(std::move(a));
    return *this;
}

ScriptedUi& ScriptedUi::Type(int controlId, const std::string& text) {
    return Add({Action::Kind::Type, controlId, text, std::nullopt, 0});
}

ScriptedUi& ScriptedUi::Press(int controlId) { return Add({Action::Kind::Press, controlId, {}, std::nullopt, 0}); }

ScriptedUi& ScriptedUi::ChooseMenu(int entryId) { return Add({Action::Kind::Menu, entryId, {}, std::nullopt, 0}); }
ScriptedUi& ScriptedUi::Tick() { return Add({Action::Kind::Tick, 0, {}, std::nullopt, 0}); }

ScriptedUi& ScriptedUi::Answer(int answer, std::optional<std::string> expectText) {
    return Add({Action::Kind::Answer, answer, {}, std::move(expectText), 0});
}

ScriptedUi& ScriptedUi::ChooseFile(const std::string& path) {
    return Add({Action::Kind::ChooseFile, 0, path, std::nullopt, 0});
}

ScriptedUi& ScriptedUi::CancelFile() { return Add({Action::Kind::CancelFile, 0, {}, std::nullopt, 0}); }

ScriptedUi& ScriptedUi::CancelProgressAfter(int pumps) {
    return Add({Action::Kind::CancelProgress, 0, {}, std::nullopt, std::max(pumps, 1)});
}

ScriptedUi& ScriptedUi::RequestQuit(int exitCode) { return Add({Action::Kind::Quit, 0, {}, std::nullopt, exitCode}); }

// ---- transcript ------------------------------------------------------------

void ScriptedUi::Record(ScriptEvent e) { events_.push_back(std::move(e)); }

void ScriptedUi::Error(const std::string& text) {
    ScriptEvent e;
    e.type = ScriptEvent::Type::Error;
    e.text = text;
    Record(std::move(e));
}

std::vector<ScriptEvent> ScriptedUi::EventsOf(ScriptEvent::Type type) const {
    std::vector<ScriptEvent> out;
    for (const auto& e : events_)
        if (e.type == type) out.push_back(e);
    return out;
}

std::vector<std::string> ScriptedUi::MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& e : events_)
        if (e.type == ScriptEvent::Type::MessageBox) out.push_back(e.text);
    return out;
}

std::vector<std::string> ScriptedUi::Traces() const {
    std::vector<std::string> out;
    for (const auto& e : events_)
        if (e.type == ScriptEvent::Type::Trace) out.push_back(e.text);
    return out;
}

std::vector<std::string> ScriptedUi::Errors() const {
    std::vector<std::string> out;
    for (const auto& e : events_)
        if (e.type == ScriptEvent::Type::Error) out.push_back(e.text);
    return out;
}

std::string ToString(ScriptEvent::Type type) {
    using T = ScriptEvent::Type;
    switch (type) {
        case T::DialogOpened: return "dialog-opened";
        case T::DialogClosed: return "dialog-closed";
        case T::ForcedEnd: return "forced-end";
        case T::MessageBox: return "message-box";
        case T::FileOpen: return "file-open";
        case T::ModelessShown: return "modeless-shown";
        case T::ModelessDestroyed: return "modeless-destroyed";
        case T::WaitBegin: return "wait-begin";
        case T::WaitEnd: return "wait-end";
        case T::Trace: return "trace";
        case T::WindowEnabled: return "window-enabled";
        case T::Quit: return "quit";
        case T::Error: return "error";
    }
    return "?";
}

std::string ScriptedUi::TranscriptText() const {
    using T = ScriptEvent::Type;
    std::ostringstream out;
    for (const auto& e : events_) {
        const std::string window = std::to_string(e.templateId) + " " + Quoted(e.caption);
        switch (e.type) {
            case T::DialogOpened: out << "dialog " << window << " opened"; break;
            case T::DialogClosed: out << "dialog " << window << " closed: " << AnswerName(e.result); break;
            case T::ForcedEnd: out << "dialog " << window << " did not end on Cancel: ended with Cancel"; break;
            case T::MessageBox:
                out << "message " << Quoted(e.caption) << " (" << IconName(e.icon) << ", "
                    << (e.buttons == Buttons::Ok ? "OK" : "OK/Cancel") << "): " << Quoted(e.text) << " -> "
                    << AnswerName(e.result);
                break;
            case T::FileOpen:
                out << "file-open [" << e.filter << "] -> " << (e.path ? Quoted(*e.path) : std::string("cancel"));
                break;
            case T::ModelessShown: out << "modeless " << window << " shown"; break;
            case T::ModelessDestroyed: {
                out << "modeless " << window << " destroyed";
                if (!e.messages.empty()) {
                    out << "; messages:";
                    for (const auto& m : e.messages) out << ' ' << Quoted(m);
                }
                if (!e.ranges.empty()) {
                    out << "; ranges:";
                    for (const auto& [lo, hi] : e.ranges) out << ' ' << lo << ".." << hi;
                }
                if (!e.positions.empty()) {
                    out << "; positions:";
                    for (int p : e.positions) out << ' ' << p;
                }
                break;
            }
            case T::WaitBegin: out << "wait cursor on"; break;
            case T::WaitEnd: out << "wait cursor off"; break;
            case T::Trace: out << "trace " << Quoted(e.text); break;
            case T::WindowEnabled: out << "window " << window << (e.enabled ? " enabled" : " disabled"); break;
            case T::Quit: out << "quit " << e.result; break;
            case T::Error: out << "ERROR: " << e.text; break;
        }
        out << '\n';
    }
    if (!script_.empty()) out << "(" << script_.size() << " script action(s) not used)\n";
    return out.str();
}

// ---- consuming the script --------------------------------------------------

ScriptedUi::Action ScriptedUi::Take() {
    Action a = std::move(script_.front());
    script_.pop_front();
    return a;
}

void ScriptedUi::Mismatch(const std::string& shown) {
    static const char* const kNames[] = {"Type",       "Press",      "ChooseMenu",          "Answer",
                                         "ChooseFile", "CancelFile", "CancelProgressAfter", "RequestQuit",
                                         "Tick"};
    const Action& a = script_.front();
    Error("the script's next action is " + std::string(kNames[static_cast<int>(a.kind)]) +
          (a.id ? " " + std::to_string(a.id) : std::string()) + (a.text.empty() ? "" : " " + Quoted(a.text)) +
          ", but " + shown + " asks for input");
}

bool ScriptedUi::TakeQuit() {
    if (!NextIs(Action::Kind::Quit)) return false;
    Quit(Take().count);
    return true;
}

bool ScriptedUi::CheckControl(Dialog& dlg, int id, const char* what) {
    const Control* c = dlg.Template().Find(id);
    std::string problem;
    if (!c)
        problem = "has no control";
    else if (!dlg.IsItemVisible(id))
        problem = "hides control";
    else if (!dlg.IsItemEnabled(id))
        problem = "has disabled control";
    else if (!dlg.IsWindowEnabled())
        problem = "is disabled, so cannot reach control";
    if (problem.empty()) return true;
    Error(std::string("cannot ") + what + " " + std::to_string(id) + ": " + DialogName(dlg) + " " + problem + " " +
          std::to_string(id));
    return false;
}

void ScriptedUi::Apply(Dialog& dlg, const Action& a) {
    if (a.kind == Action::Kind::Tick) {
        if (dlg.TimerMs() == 0)
            Error("cannot run the timer of " + DialogName(dlg) + ": it has none");
        else
            dlg.Timer();
        return;
    }
    if (a.kind == Action::Kind::Menu) {
        const auto& menu = dlg.SystemMenu();
        if (std::none_of(menu.begin(), menu.end(), [&](const MenuEntry& m) { return m.id == a.id; }))
            Error("cannot choose menu entry " + std::to_string(a.id) + ": " + DialogName(dlg) + " has no such entry");
        else
            dlg.SysCommand(a.id);
        return;
    }
    const bool typing = a.kind == Action::Kind::Type;
    if (!CheckControl(dlg, a.id, typing ? "type into" : "press")) return;
    const Control& c = *dlg.Template().Find(a.id);
    if (typing) {
        if (c.kind != Kind::Edit && c.kind != Kind::ComboBox)
            Error("cannot type into " + std::to_string(a.id) + " of " + DialogName(dlg) + ": not a text field");
        else if (c.style & kReadOnly)
            Error("cannot type into " + std::to_string(a.id) + " of " + DialogName(dlg) + ": read-only");
        else
            dlg.UserEdit(a.id, a.text);
    } else {
        if (c.kind != Kind::PushButton && c.kind != Kind::RadioButton)
            Error("cannot press " + std::to_string(a.id) + " of " + DialogName(dlg) + ": not a button");
        else
            dlg.Command(a.id);
    }
}

// ---- Ui --------------------------------------------------------------------

int ScriptedUi::RunModal(Dialog& dlg) {
    if (QuitRequested()) return IDCANCEL;
    auto& watch = watches_[&dlg];
    watch = std::make_unique<Watch>(*this, dlg, false);
    dlg.Attach(watch.get());
    int result = IDCANCEL;
    {
        ModalScope scope(*this, dlg);
        dlg.Initialize();
        const int templateId = dlg.Template().id;
        Record(Event(ScriptEvent::Type::DialogOpened, templateId, dlg.Caption()));
        bool cancelled = false;
        while (!dlg.Ended() && !QuitRequested()) {
            if (TakeQuit()) break;
            if (NextIs(Action::Kind::Type) || NextIs(Action::Kind::Press) || NextIs(Action::Kind::Menu) ||
                NextIs(Action::Kind::Tick)) {
                Apply(dlg, Take());
                continue;
            }
            if (!cancelled) {
                // Nothing in the script for this dialog: the user gives up.
                if (!script_.empty()) Mismatch(DialogName(dlg));
                cancelled = true;
                dlg.Command(IDCANCEL);
                continue;
            }
            Record(Event(ScriptEvent::Type::ForcedEnd, templateId, dlg.Caption()));
            dlg.EndDialog(IDCANCEL);
        }
        result = dlg.Ended() ? dlg.Result() : IDCANCEL;
        ScriptEvent closed = Event(ScriptEvent::Type::DialogClosed, templateId, dlg.Caption());
        closed.result = result;
        Record(std::move(closed));
    }
    dlg.Attach(nullptr);
    watches_.erase(&dlg);
    return result;
}

int ScriptedUi::MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) {
    if (QuitRequested()) return IDCANCEL;
    int answer = buttons == Buttons::OkCancel ? IDCANCEL : IDOK;
    std::optional<int> quitCode;
    if (NextIs(Action::Kind::Answer)) {
        Action a = Take();
        if (a.expect && *a.expect != text)
            Error("message box text " + Quoted(text) + " where the script expected " + Quoted(*a.expect));
        if (a.id == IDOK || (a.id == IDCANCEL && buttons == Buttons::OkCancel))
            answer = a.id;
        else
            Error("message box " + Quoted(text) + " cannot be answered " + AnswerName(a.id));
    } else if (NextIs(Action::Kind::Quit)) {
        quitCode = Take().count;
        answer = IDCANCEL;
    } else if (!script_.empty()) {
        Mismatch("message box " + Quoted(text));
    }
    ScriptEvent e = Event(ScriptEvent::Type::MessageBox, 0, caption);
    e.text = text;
    e.icon = icon;
    e.buttons = buttons;
    e.result = answer;
    Record(std::move(e));
    if (quitCode) Quit(*quitCode);
    return answer;
}

std::optional<std::string> ScriptedUi::OpenFile(const std::string& filter) {
    if (QuitRequested()) return std::nullopt;
    std::optional<std::string> path;
    std::optional<int> quitCode;
    if (NextIs(Action::Kind::ChooseFile))
        path = Take().text;
    else if (NextIs(Action::Kind::CancelFile))
        Take();
    else if (NextIs(Action::Kind::Quit))
        quitCode = Take().count;
    else if (!script_.empty())
        Mismatch("the file-open dialog");
    ScriptEvent e;
    e.type = ScriptEvent::Type::FileOpen;
    e.filter = filter;
    e.path = path;
    Record(std::move(e));
    if (quitCode) Quit(*quitCode);
    return path;
}

void ScriptedUi::BeginWaitCursor() {
    UiBase::BeginWaitCursor();
    Record(Event(ScriptEvent::Type::WaitBegin));
}

void ScriptedUi::EndWaitCursor() {
    if (WaitCursorDepth() == 0) {
        Error("wait cursor ended more often than it was begun");
        return;
    }
    UiBase::EndWaitCursor();
    Record(Event(ScriptEvent::Type::WaitEnd));
}

void ScriptedUi::ShowModeless(Dialog& dlg) {
    auto& watch = watches_[&dlg];
    watch = std::make_unique<Watch>(*this, dlg, true);
    dlg.Attach(watch.get());
    AddModeless(dlg);
    Record(Event(ScriptEvent::Type::ModelessShown, dlg.Template().id, dlg.Caption()));
}

void ScriptedUi::DestroyModeless(Dialog& dlg) {
    auto it = watches_.find(&dlg);
    ScriptEvent e = Event(ScriptEvent::Type::ModelessDestroyed, dlg.Template().id, dlg.Caption());
    if (it != watches_.end()) {
        e.messages = std::move(it->second->messages);
        e.positions = std::move(it->second->positions);
        e.ranges = std::move(it->second->ranges);
        e.barTexts = std::move(it->second->barTexts);
        watches_.erase(it);
    }
    dlg.Attach(nullptr);
    RemoveModeless(dlg);
    Record(std::move(e));
}

bool ScriptedUi::PumpPending() {
    ++pumps_;
    if (QuitRequested()) return false;
    if (TakeQuit()) return false;
    if (NextIs(Action::Kind::CancelProgress) && --script_.front().count <= 0) {
        Take();
        Dialog* top = TopModeless();
        if (!top)
            Error("the script cancels the progress window, but no modeless window is open");
        else if (!top->Template().Find(IDCANCEL) || CheckControl(*top, IDCANCEL, "press"))
            top->Command(IDCANCEL);  // may destroy and delete the window
    }
    return !QuitRequested();
}

void ScriptedUi::Quit(int exitCode) {
    ScriptEvent e = Event(ScriptEvent::Type::Quit);
    e.result = exitCode;
    Record(std::move(e));
    UiBase::Quit(exitCode);
}

void ScriptedUi::Trace(const std::string& text) {
    ScriptEvent e = Event(ScriptEvent::Type::Trace);
    e.text = text;
    Record(std::move(e));
}

}  // namespace tk
