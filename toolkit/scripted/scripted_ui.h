#pragma once
// The front end for tests: a script of user actions consumed in order and a
// transcript of everything the program showed.
//
//   tk::ScriptedUi ui;
//   ui.Press(1009).Answer(tk::IDOK, "Program OK.");
//   ... run the program against `ui` ...
//   EXPECT_TRUE(ui.Errors().empty()) << ui.TranscriptText();
//
// Where the script has nothing for what is shown, the user gives up: a modal
// dialog gets Cancel (and is ended with IDCANCEL, recorded as a forced end,
// when Cancel does not end it), an OK/Cancel box gets Cancel, an OK box OK,
// the file-open dialog is cancelled. So a test never hangs. An action that
// does not fit what is shown (a file name while a message box asks) stays in
// the script, is recorded as an error, and the default answer is given.
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/dialog.h"
#include "toolkit/ui_base.h"

namespace tk {

struct ScriptEvent {
    enum class Type {
        DialogOpened,       // templateId, caption
        DialogClosed,       // templateId, caption, result
        ForcedEnd,          // templateId, caption: Cancel did not end the dialog
        MessageBox,         // caption, text, icon, buttons, result
        FileOpen,           // filter, path (none: cancelled)
        ModelessShown,      // templateId, caption
        ModelessDestroyed,  // templateId, caption at destroy, messages, positions, ranges, bar texts
        WaitBegin,
        WaitEnd,
        Trace,          // text
        WindowEnabled,  // templateId, caption, enabled: a dialog's whole window changed state
        Quit,           // result = exit code
        Error,          // text: the script did not fit what was shown
    };
    Type type = Type::Error;
    int templateId = 0;
    std::string caption;
    std::string text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    int result = 0;
    std::string filter;
    std::optional<std::string> path;
    bool enabled = true;
    // Modeless windows: what their static texts, progress bars showed.
    std::vector<std::string> messages;        // each new text of a static control
    std::vector<int> positions;               // every SetPos on a progress bar
    std::vector<std::pair<int, int>> ranges;  // every SetRange on a progress bar
    std::vector<std::string> barTexts;        // every text given a progress bar (the address in hand)
};

class ScriptedUi : public UiBase {
public:
    ScriptedUi();
    ~ScriptedUi() override;
    ScriptedUi(const ScriptedUi&) = delete;
    ScriptedUi& operator=(const ScriptedUi&) = delete;

    // Script building; each call appends one action.
    ScriptedUi& Type(int controlId, const std::string& text);  // edit field or combo box text
    ScriptedUi& Press(int controlId);                          // button or radio button
    ScriptedUi& ChooseMenu(int entryId);                       // an entry of the system menu
    ScriptedUi& Tick();                                        // the window's timer runs out once
    // Answers the next message box; with `expectText`, its text must be exactly that.
    ScriptedUi& Answer(int answer, std::optional<std::string> expectText = std::nullopt);
    ScriptedUi& ChooseFile(const std::string& path);
    ScriptedUi& CancelFile();
    // Presses Cancel on the topmost modeless window during the `pumps`-th
    // PumpPending call counted from when this action is the next one.
    ScriptedUi& CancelProgressAfter(int pumps);
    // The user closes the program: Quit(exitCode) when the action is reached.
    ScriptedUi& RequestQuit(int exitCode = 0);

    size_t Remaining() const { return script_.size(); }

    // The transcript.
    const std::vector<ScriptEvent>& Events() const { return events_; }
    std::vector<ScriptEvent> EventsOf(ScriptEvent::Type type) const;
    std::vector<std::string> MessageTexts() const;  // texts of the message boxes shown, in order
    std::vector<std::string> Traces() const;
    std::vector<std::string> Errors() const;  // texts of the Error events
    std::string TranscriptText() const;       // one line per event
    int PumpCount() const { return pumps_; }
    void ClearTranscript() { events_.clear(); }

    // Ui
    int RunModal(Dialog& dlg) override;
    int MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) override;
    std::optional<std::string> OpenFile(const std::string& filter) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowModeless(Dialog& dlg) override;
    void DestroyModeless(Dialog& dlg) override;
    bool PumpPending() override;
    void Quit(int exitCode) override;
    void Trace(const std::string& text) override;

private:
    struct Action {
        enum class Kind { Type, Press, Menu, Answer, ChooseFile, CancelFile, CancelProgress, Quit, Tick };
        Kind kind;
        int id = 0;
        std::string text;
        std::optional<std::string> expect;
        int count = 0;
    };
    class Watch;

    ScriptedUi& Add(Action a);
    void Record(ScriptEvent e);
    void Error(const std::string& text);
    bool NextIs(Action::Kind kind) const { return !script_.empty() && script_.front().kind == kind; }
    Action Take();
    void Mismatch(const std::string& shown);
    bool TakeQuit();
    // Applies a Type or Press action to `dlg` after checking the control.
    void Apply(Dialog& dlg, const Action& a);
    bool CheckControl(Dialog& dlg, int id, const char* what);

    std::deque<Action> script_;
    std::vector<ScriptEvent> events_;
    std::map<Dialog*, std::unique_ptr<Watch>> watches_;
    int pumps_ = 0;
};

std::string ToString(ScriptEvent::Type type);

}  // namespace tk
