#pragma once
// What every front end shares: the quit request and the stack of open modal
// dialogs it ends, the wait-cursor depth, the open modeless windows, and the
// splitting of message text into lines.
#include <chrono>
#include <string>
#include <vector>

#include "toolkit/ui.h"

namespace tk {

// "stop", "exclamation", "information" or "none".
std::string IconName(Icon icon);

class UiBase : public Ui {
public:
    // Sets the pending quit and its exit code and ends every open modal
    // dialog (innermost first) with IDCANCEL. While a quit is pending, a
    // further Quit keeps the first exit code.
    void Quit(int exitCode) override;
    bool QuitRequested() const override { return quitPending_; }
    int ExitCode() const override { return exitCode_; }

    // Counted: only the outermost Begin/End pair shows and hides the cursor.
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    int WaitCursorDepth() const { return waitDepth_; }

    // The innermost open modal dialog, or none.
    Dialog* ActiveWindow() const override;
    const std::vector<Dialog*>& ModalStack() const { return modal_; }
    // Open modeless windows, the most recently shown last.
    const std::vector<Dialog*>& ModelessWindows() const { return modeless_; }
    Dialog* TopModeless() const { return modeless_.empty() ? nullptr : modeless_.back(); }

    // Looks whether a stop signal (SIGTERM, SIGINT, SIGHUP, SIGPIPE) has arrived; the
    // first time it has, cancels every modeless window (a running operation
    // then stops after its current page, as after Cancel) and quits with the
    // exit code 128 + the signal. Answers whether the run is being stopped.
    // Front ends call it wherever they wait for the user and in PumpPending.
    bool NoticeStop();
    // The stop signal that ended the run, or 0.
    int StopSignal() const override { return stopSignal_; }

    // Trace lines are printed only when the user asked for them (--trace).
    void ShowTraces(bool on) override { showTraces_ = on; }
    bool TracesShown() const { return showTraces_; }
    // Trace text as printed: every line behind the seconds since the front
    // end began, to the millisecond ("     1.250 Z_Type = +Z ").
    std::string StampedTrace(const std::string& text) const;

    // Splits message text into lines; "\r\n", "\n" and "\r" each end a line.
    // A break at the very end does not start another line; "" is one empty line.
    static std::vector<std::string> SplitLines(const std::string& text);

protected:
    // Keeps a dialog on the modal stack for the life of the object.
    class ModalScope {
    public:
        ModalScope(UiBase& ui, Dialog& dlg);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        UiBase& ui_;
        Dialog& dlg_;
    };

    void AddModeless(Dialog& dlg);
    void RemoveModeless(Dialog& dlg);

    // Called once when a stop signal is noticed, before the modeless windows
    // are cancelled and the quit is set: a front end tells the user here.
    virtual void Stopping(int signal) { (void)signal; }

    // Called when the cursor is really shown (depth 0 -> 1) or hidden (1 -> 0).
    virtual void WaitCursorShown() {}
    virtual void WaitCursorHidden() {}

private:
    std::vector<Dialog*> modal_;
    std::vector<Dialog*> modeless_;
    int waitDepth_ = 0;
    bool quitPending_ = false;
    int exitCode_ = 0;
    int stopSignal_ = 0;
    bool showTraces_ = false;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

}  // namespace tk
