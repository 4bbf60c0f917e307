#pragma once
// Dialog base class in the manner of a dialog-based toolkit: a template, the
// state of every control (the model the front ends render), handlers keyed by
// control id, data exchange between members and controls, and an end result.
#include <map>
#include <string>
#include <vector>

#include "toolkit/dialog_template.h"
#include "toolkit/ui.h"

namespace tk {

// What a front end hears about changes the dialog logic makes.
class DialogObserver {
public:
    virtual ~DialogObserver() = default;
    virtual void ControlChanged(int id) = 0;  // text, check, enabled, visible, range or position
    virtual void CaptionChanged() = 0;
    virtual void FocusChanged(int id) = 0;
    virtual void WindowEnabledChanged() = 0;
    virtual void Ended() = 0;
    virtual void SystemMenuChanged() {}
    virtual void TimerChanged() {}  // the window's timer was started, changed or stopped
};

// An extra entry of the window's system menu (the panel's About entry).
// Graphical front ends show the entries in the window's context menu and run
// the first one on F1; the dialog hears the choice in OnSysCommand.
struct MenuEntry {
    int id = 0;
    std::string text;  // '&' marks the mnemonic
};

struct ControlState {
    std::string text;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    int rangeLow = 0;
    int rangeHigh = 100;
    int pos = 0;
};

class Dialog;

// Moves values between dialog members and controls (save = controls to members).
class DataExchange {
public:
    DataExchange(Dialog& dlg, bool save) : dlg_(dlg), save_(save) {}
    bool Saving() const { return save_; }
    void Text(int id, std::string& member);
    // A radio group given by its first button: the index of the checked one,
    // -1 when none is checked.
    void Radio(int firstId, int& index);

private:
    Dialog& dlg_;
    bool save_;
};

class Dialog {
public:
    Dialog(Ui& ui, const DialogTemplate& tpl);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog modally and answers how it ended (IDOK, IDCANCEL or the
    // EndDialog value); IDCANCEL at once while a quit is pending.
    int DoModal();
    // Shows the dialog modeless; its owner calls DestroyWindow to take it down.
    bool Create();
    void DestroyWindow();
    bool IsWindow() const { return shown_; }

    const DialogTemplate& Template() const { return tpl_; }
    Ui& GetUi() const { return ui_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);

    // Control state. Unknown ids are ignored (reads give the empty state).
    const ControlState& State(int id) const;
    std::string GetItemText(int id) const { return State(id).text; }
    void SetItemText(int id, const std::string& text);
    bool IsChecked(int id) const { return State(id).checked; }
    void CheckRadio(int id);  // checks id and clears the other radios of its group
    void SetChecked(int id, bool checked);
    void EnableItem(int id, bool enabled);
    bool IsItemEnabled(int id) const { return State(id).enabled; }
    void ShowItem(int id, bool visible);
    bool IsItemVisible(int id) const { return State(id).visible; }
    void SetRange(int id, int low, int high);
    void SetPos(int id, int pos);
    void SetFocus(int id);
    int Focus() const { return focus_; }

    // A combo box's list; the text in the field stays.
    void SetItems(int id, std::vector<std::string> items);

    // The window's timer: OnTimer runs about every `ms` while the window is
    // shown (front ends that have no timers never run it); 0 stops it.
    void SetTimer(int ms);
    int TimerMs() const { return timerMs_; }

    // The whole window's enabled state (a progress window disables its parent).
    void EnableWindow(bool enabled);
    bool IsWindowEnabled() const { return windowEnabled_; }

    void EndDialog(int result);
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    // The system menu's extra entries; Initialize empties the list, so
    // OnInitDialog adds them.
    void AddSystemMenuItem(int id, const std::string& text);
    const std::vector<MenuEntry>& SystemMenu() const { return systemMenu_; }

    // Called by front ends.
    void Attach(DialogObserver* observer) { observer_ = observer; }
    void SysCommand(int id) { OnSysCommand(id); }    // a system-menu entry was chosen
    void Timer() { OnTimer(); }                      // the window's timer ran out
    void Initialize();                               // resets the state and runs OnInitDialog
    void Command(int id);                            // a button press or radio click
    void UserEdit(int id, const std::string& text);  // the user changed a field's text
    // A file dropped on the window: its path fills the field styled
    // kFileDrop, as if typed. False when there is none or it is disabled.
    bool DropFile(const std::string& path);
    bool TakesDroppedFiles() const;

    // Controls to members (save) or members to controls.
    bool UpdateData(bool save = true);

protected:
    virtual bool OnInitDialog();     // default: UpdateData(false)
    virtual void OnCommand(int id);  // default: IDOK -> OnOK, IDCANCEL -> OnCancel
    virtual void OnOK();             // default: UpdateData(true), EndDialog(IDOK)
    virtual void OnCancel();         // default: EndDialog(IDCANCEL)
    virtual void OnEditChange(int id);
    virtual void DoDataExchange(DataExchange& dx);
    virtual void OnSysCommand(int id);  // default: nothing
    virtual void OnTimer() {}
    // Modeless windows: called after the window is gone.
    virtual void PostNcDestroy() {}

    Ui& ui_;

private:
    void ResetState();
    void Notify(int id);

    DialogTemplate tpl_;
    std::string caption_;
    std::map<int, ControlState> state_;
    std::vector<MenuEntry> systemMenu_;
    DialogObserver* observer_ = nullptr;
    int focus_ = 0;
    bool windowEnabled_ = true;
    int timerMs_ = 0;
    bool ended_ = false;
    bool shown_ = false;
    int result_ = IDCANCEL;
};

}  // namespace tk
