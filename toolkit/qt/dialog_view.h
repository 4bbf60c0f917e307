#pragma once
// The Qt window of one dialog: widgets built from the template, kept in step
// with the dialog's control state, user actions passed to the dialog.
#include <QDialog>
#include <chrono>
#include <map>
#include <vector>

#include "toolkit/dialog.h"

class QButtonGroup;
class QGridLayout;
class QProgressBar;
class QTimer;

namespace tk {

class DialogView : public QDialog, public DialogObserver {
    Q_OBJECT

public:
    // A modeless view has no close box; both kinds close only when the
    // dialog ends (modal) or its owner destroys it (modeless).
    DialogView(Dialog& dlg, bool modeless);
    ~DialogView() override;

    // The dialog is gone (or no longer shown here): stop talking to it.
    void Detach();
    Dialog* Model() const { return dlg_; }
    bool IsModeless() const { return modeless_; }

    // Mirrors the whole state of the dialog: caption, controls, window
    // enabled state and focus.
    void SyncAll();

    // The widget of control `id` (objectName is the id), or none.
    QWidget* Widget(int id) const;

    // DialogObserver.
    void ControlChanged(int id) override;
    void CaptionChanged() override;
    void FocusChanged(int id) override;
    void WindowEnabledChanged() override;
    void Ended() override;
    void SystemMenuChanged() override {}  // read when the menu opens
    void TimerChanged() override;

    // Escape and the close box: the dialog decides whether to close.
    void reject() override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // The width the user gave a window that widens: taken back when shown,
    // kept when hidden.
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void Build();
    // A path or port field: its column, and the group boxes around it, take
    // the window's extra width.
    void Stretch(const tk::Control& c, const std::map<int, QGridLayout*>& grids);
    void OrderTabs();
    // Alt-key mnemonics for the push buttons, where the template asks for them.
    void ChooseMnemonics();
    QString WithMnemonic(int id, const QString& text) const;
    // Sizes the window from its controls and its caption.
    void Fit();
    QWidget* MakeWidget(const tk::Control& c, QWidget* parent);
    void Sync(int id);
    void SyncRadio(int id, bool checked);
    // The bar's figure: percent done, the address in hand (the bar's text,
    // when the dialog gives one), time so far, time left at that pace.
    static void ShowFigure(QProgressBar& bar, std::chrono::steady_clock::time_point started, const QString& address);
    // Key handling shared by the dialog and its fields; true when handled.
    bool HandleKey(int key, Qt::KeyboardModifiers mods);
    // A file dragged onto the window or one of its fields; true when handled.
    bool HandleFileDrop(QEvent* e);
    void PressEnter();
    void Send(int id);                         // Dialog::Command
    void Edited(int id, const QString& text);  // Dialog::UserEdit
    void RunSystemEntry(int id);

    Dialog* dlg_;
    const DialogTemplate tpl_;  // a copy: the dialog may go before this window
    const bool modeless_;
    std::map<int, QWidget*> widgets_;
    std::map<int, QButtonGroup*> radioGroups_;                         // by radio id
    std::map<int, QChar> mnemonics_;                                   // by button id, lower case
    bool resizable_ = false;                                           // grows in width with a path or port field
    bool syncing_ = false;                                             // programmatic widget updates are no user edits
    std::map<int, std::chrono::steady_clock::time_point> barStarted_;  // by bar id: when it began at 0
    bool editing_ = false;                                             // the dialog is hearing of a user edit
    QWidget* advancedTo_ = nullptr;  // where the dialog moved the focus during an edit
    QTimer* timer_ = nullptr;        // the dialog's timer, once it asked for one
    bool restored_ = false;          // the saved width was applied
};

}  // namespace tk
