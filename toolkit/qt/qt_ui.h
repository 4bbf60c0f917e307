#pragma once
// The Qt Widgets front end: dialogs as QDialogs built from their templates,
// QMessageBox, QFileDialog, the override cursor and the Qt event loop.
#include <QPointer>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "platform/wait_hook.h"
#include "toolkit/ui_base.h"

class QApplication;
class QDialog;
class QEvent;
class QSocketNotifier;
class QFileInfo;
class QWidget;

namespace tk {

class DialogView;

// While the protocol blocks the one thread in its waits, the windows are kept
// painted and a wait that lasts longer than a moment shows the wait cursor.
// Input during a wait reaches only the modeless windows (Cancel of a progress
// window works at once); input aimed at any other window is dropped, never
// held for later, where it could land on whatever is under the next click.
class QtUi : public UiBase, private plat::IWaitHook {
public:
    // Creates the QApplication unless one exists already (tests make their own).
    QtUi(int& argc, char** argv);
    ~QtUi() override;
    QtUi(const QtUi&) = delete;
    QtUi& operator=(const QtUi&) = delete;

    int RunModal(Dialog& dlg) override;
    int MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) override;
    std::optional<std::string> OpenFile(const std::string& filter) override;
    void ShowModeless(Dialog& dlg) override;
    void DestroyModeless(Dialog& dlg) override;
    bool PumpPending() override;
    // Also closes an open message box or file dialog.
    void Quit(int exitCode) override;
    void Trace(const std::string& text) override;
    bool ShowsWaitWindows() const override { return true; }

    // The window showing `dlg`, or none (for tests and screenshots).
    QDialog* WindowOf(const Dialog& dlg) const;

protected:
    void WaitCursorShown() override;
    void WaitCursorHidden() override;

private:
    // plat::IWaitHook: a wait of the protocol is going on.
    void Waiting() override;
    // The event loop takes user input again: the waiting is over.
    void WaitingEnded();
    // Sits in front of every event: during a wait, drops user input that is
    // not for a modeless window; passes keys that land on an owner disabled
    // by a modeless window on to that window. True: the event is consumed.
    bool FilterInput(QObject* receiver, QEvent* e);
    DialogView* ModelessViewOf(const QWidget* w) const;
    DialogView* TopModelessView() const;

    // The window new windows stack above: the one shown last.
    QWidget* Owner() const;
    // Modeless windows and the other windows stay usable while an owner is
    // disabled, so windows get no Qt parent; the owner is only named to the
    // window system.
    void ShowAbove(QWidget& window);
    int RunPlain(QDialog& box);
    // Where the file dialog opens: the file or folder that the FilePath field
    // of the asking dialog names, else the folder chosen from last time.
    QFileInfo StartOfFileDialog() const;

    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QSocketNotifier> stopNotifier_;
    std::vector<DialogView*> views_;        // open dialog windows, the newest last
    std::vector<QPointer<QDialog>> plain_;  // open message boxes and file dialogs
    std::unique_ptr<QObject> hookContext_;  // the event loop's idle signal, for our life only
    std::unique_ptr<QObject> inputGate_;    // the application's event filter
    std::optional<std::chrono::steady_clock::time_point> waitingSince_;
    std::chrono::steady_clock::time_point lastPainted_;
    bool waitCursorForWaiting_ = false;
    bool inWaiting_ = false;
};

// The Qt front end when a display can be used: DISPLAY or WAYLAND_DISPLAY
// names one whose socket exists, or QT_QPA_PLATFORM is "offscreen" or
// "minimal". Otherwise none, and the caller falls back to the console.
std::unique_ptr<QtUi> MakeQtUiIfDisplay(int& argc, char** argv);

}  // namespace tk
