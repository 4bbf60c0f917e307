#pragma once
// Small dialogs for the toolkit tests: a form with fields, radios and a
// combo box; a panel whose button runs nested dialogs; a progress window.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/dialog.h"

namespace kvtest {

enum : int {
    kFormId = 500,
    kName = 1002,   // edit, upper case
    kCount = 1003,  // edit, digits only
    kPort = 1060,   // combo box
    kGroup = 1050,  // group box
    kModeA = 1058,  // radios A, B, C
    kModeB = 1056,
    kModeC = 1057,
    kHiddenBtn = 1070,
    kDisabledBtn = 1071,
    kReadOnly = 1072,
    kRun = 1080,  // panel button that runs a callback
    kPanelId = 600,
    kProgressId = 136,
    kBar = 1020,
    kMessage = 1021,
};

// A control by its fields, so templates here keep compiling as Control grows.
inline tk::Control Ctl(int id, tk::Kind kind, std::string label, unsigned style = 0,
                       std::vector<std::string> items = {}, int container = 0, int row = 0, int col = 0) {
    tk::Control c;
    c.id = id;
    c.kind = kind;
    c.label = std::move(label);
    c.style = style;
    c.items = std::move(items);
    c.container = container;
    c.row = row;
    c.col = col;
    return c;
}

inline tk::DialogTemplate FormTemplate() {
    using tk::Kind;
    tk::DialogTemplate t;
    t.id = kFormId;
    t.caption = "Form";
    t.controls = {
        Ctl(tk::IDC_STATIC, Kind::Static, "Name", 0, {}, 0, 0, 0),
        Ctl(kName, Kind::Edit, "Name", tk::kUpperCase, {}, 0, 0, 1),
        Ctl(kCount, Kind::Edit, "", tk::kNumber, {}, 0, 1, 1),
        Ctl(kReadOnly, Kind::Edit, "Shown", tk::kReadOnly, {}, 0, 2, 1),
        Ctl(kGroup, Kind::GroupBox, "Mode", 0, {}, 0, 3, 0),
        Ctl(kModeA, Kind::RadioButton, "A", 0, {}, kGroup, 0, 0),
        Ctl(kModeB, Kind::RadioButton, "B", 0, {}, kGroup, 1, 0),
        Ctl(kModeC, Kind::RadioButton, "C", 0, {}, kGroup, 2, 0),
        Ctl(kPort, Kind::ComboBox, "Port", 0, {"COM1", "COM2"}, 0, 4, 1),
        Ctl(tk::IDC_STATIC, Kind::Separator, "", 0, {}, 0, 5, 0),
        Ctl(kHiddenBtn, Kind::PushButton, "Hidden", tk::kHidden, {}, 0, 6, 0),
        Ctl(kDisabledBtn, Kind::PushButton, "Off", tk::kDisabled, {}, 0, 6, 1),
        Ctl(tk::IDOK, Kind::PushButton, "OK", tk::kDefault, {}, 0, 7, 0),
        Ctl(tk::IDCANCEL, Kind::PushButton, "Cancel", 0, {}, 0, 7, 1),
    };
    return t;
}

// The form with members exchanged with its controls.
class FormDlg : public tk::Dialog {
public:
    explicit FormDlg(tk::Ui& ui) : Dialog(ui, FormTemplate()) {}
    std::string name = "abc";
    std::string count = "7";
    std::string port = "COM1";
    int mode = 1;
    int editChanges = 0;

protected:
    void DoDataExchange(tk::DataExchange& dx) override {
        dx.Text(kName, name);
        dx.Text(kCount, count);
        dx.Text(kPort, port);
        dx.Radio(kModeA, mode);
    }
    void OnEditChange(int) override { ++editChanges; }
};

inline tk::DialogTemplate PanelTemplate() {
    using tk::Kind;
    tk::DialogTemplate t;
    t.id = kPanelId;
    t.caption = "Panel";
    t.controls = {
        Ctl(kRun, Kind::PushButton, "Run...", 0, {}, 0, 0, 0),
        Ctl(tk::IDCANCEL, Kind::PushButton, "Exit", 0, {}, 0, 1, 0),
    };
    return t;
}

// A panel whose Run button calls `onRun`.
class PanelDlg : public tk::Dialog {
public:
    PanelDlg(tk::Ui& ui, std::function<void()> onRun) : Dialog(ui, PanelTemplate()), onRun_(std::move(onRun)) {}

protected:
    void OnCommand(int id) override {
        if (id == kRun)
            onRun_();
        else
            Dialog::OnCommand(id);
    }

private:
    std::function<void()> onRun_;
};

// A panel with an About entry in its system menu.
class MenuPanelDlg : public PanelDlg {
public:
    explicit MenuPanelDlg(tk::Ui& ui) : PanelDlg(ui, [] {}) {}
    int chosen = 0;

protected:
    bool OnInitDialog() override {
        AddSystemMenuItem(0x10, "&About Kelvix...");
        return PanelDlg::OnInitDialog();
    }
    void OnSysCommand(int id) override { chosen = id; }
};

inline tk::DialogTemplate ProgressTemplate() {
    using tk::Kind;
    tk::DialogTemplate t;
    t.id = kProgressId;
    t.caption = "Titel";
    t.controls = {
        Ctl(kBar, Kind::ProgressBar, "", 0, {}, 0, 0, 0),
        Ctl(kMessage, Kind::Static, "Message", tk::kCentered, {}, 0, 1, 0),
        Ctl(tk::IDC_STATIC, Kind::Separator, "", 0, {}, 0, 2, 0),
        Ctl(tk::IDCANCEL, Kind::PushButton, "Cancel", 0, {}, 0, 3, 0),
    };
    return t;
}

// A progress window on the stack: Cancel sets the flag and takes it down,
// re-enabling the window it disabled.
class ProgressDlg : public tk::Dialog {
public:
    ProgressDlg(tk::Ui& ui, int& cancelFlag) : Dialog(ui, ProgressTemplate()), flag_(cancelFlag) {}
    void Open() {
        parent_ = ui_.ActiveWindow();
        if (parent_) parent_->EnableWindow(false);
        Create();
    }
    void Prepare(const std::string& message, const std::string& title, int low, int high) {
        SetItemText(kMessage, message);
        SetCaption(title);
        SetRange(kBar, low, high);
        SetPos(kBar, 0);
    }
    void Close() {
        if (IsWindow()) OnCancel();
    }

protected:
    void OnOK() override {}
    void OnCancel() override {
        flag_ = 1;
        if (parent_) parent_->EnableWindow(true);
        DestroyWindow();
    }

private:
    int& flag_;
    tk::Dialog* parent_ = nullptr;
};

}  // namespace kvtest
