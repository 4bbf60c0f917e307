#pragma once
// The front end that dialogs talk to: modal dialogs, message boxes, file-open,
// wait cursor, modeless windows, the message pump and the quit request.
// Implemented by the scripted (tests), console and Qt front ends.
#include <optional>
#include <string>

namespace tk {

class Dialog;

enum class Icon { None, Stop, Exclamation, Information };
enum class Buttons { Ok, OkCancel };

class Ui {
public:
    virtual ~Ui() = default;

    // Runs the dialog modally: the front end attaches itself as the dialog's
    // observer, calls dlg.Initialize(), feeds user actions to the dialog until
    // it has ended (or a quit was requested) and answers the dialog's result.
    virtual int RunModal(Dialog& dlg) = 0;

    // Answers IDOK or IDCANCEL. Line breaks in `text` are "\r\n", "\n" or "\r".
    virtual int MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) = 0;

    // The file-open dialog for an existing file. `filter` is in the form
    // "Name (*.a;*.b)|*.a;*.b|All Files (*.*)|*.*|". Nothing when cancelled.
    virtual std::optional<std::string> OpenFile(const std::string& filter) = 0;

    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Modeless windows (the progress window): shown until DestroyModeless.
    virtual void ShowModeless(Dialog& dlg) = 0;
    virtual void DestroyModeless(Dialog& dlg) = 0;

    // Dispatches the events that are already waiting, without waiting for any.
    // Answers false when a quit request was seen (it stays pending).
    virtual bool PumpPending() = 0;

    // Ends every open modal dialog; later modal dialogs and message boxes
    // return at once (IDCANCEL) while the quit is pending.
    virtual void Quit(int exitCode) = 0;
    virtual bool QuitRequested() const = 0;
    virtual int ExitCode() const = 0;
    // The stop signal (SIGTERM, SIGINT, SIGHUP) that is ending the run, or 0.
    virtual int StopSignal() const { return 0; }

    // Trace lines for standard output ("Z_Type = +Z \n", " old \n"); a front
    // end prints them only once ShowTraces(true) asked for them.
    virtual void Trace(const std::string& text) = 0;
    virtual void ShowTraces(bool on) { (void)on; }

    // Whether the front end shows a window while the program only waits (the
    // link starting); a text front end has nothing to add there.
    virtual bool ShowsWaitWindows() const { return false; }

    // The window that is active for the user: the innermost open modal
    // dialog (a progress window opened without a parent disables it).
    virtual Dialog* ActiveWindow() const { return nullptr; }
};

// Shows the wait cursor for the life of the object.
class WaitCursor {
public:
    explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.BeginWaitCursor(); }
    ~WaitCursor() { ui_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Ui& ui_;
};

}  // namespace tk
