#include "toolkit/dialog.h"

#include <cctype>

namespace tk {

namespace {
const ControlState kNoControl{};

// Whether controls[i] belongs to the radio group of controls[at]: a run of
// consecutive radio buttons in one container.
bool SameRadioGroup(const std::vector<Control>& cs, size_t at, size_t i) {
    return cs[i].kind == Kind::RadioButton && cs[i].container == cs[at].container;
}
}  // namespace

void DataExchange::Text(int id, std::string& member) {
    if (save_)
        member = dlg_.GetItemText(id);
    else
        dlg_.SetItemText(id, member);
}

void DataExchange::Radio(int firstId, int& index) {
    const auto& controls = dlg_.Template().controls;
    size_t first = controls.size();
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].id == firstId && controls[i].kind == Kind::RadioButton) first = i;
    if (first == controls.size()) return;
    int n = 0;
    for (size_t i = first; i < controls.size() && SameRadioGroup(controls, first, i); ++i, ++n) {
        if (save_) {
            if (dlg_.IsChecked(controls[i].id)) {
                index = n;
                return;
            }
        } else if (n == index) {
            dlg_.CheckRadio(controls[i].id);
            return;
        }
    }
    if (save_)
        index = -1;
    else
        for (size_t i = first; i < controls.size() && SameRadioGroup(controls, first, i); ++i)
            dlg_.SetChecked(controls[i].id, false);
}

Dialog::Dialog(Ui& ui, const DialogTemplate& tpl) : ui_(ui), tpl_(tpl), caption_(tpl.caption) { ResetState(); }

Dialog::~Dialog() {
    // A modeless window that dies while shown must not stay listed by its front end.
    if (shown_) {
        shown_ = false;
        ui_.DestroyModeless(*this);
    }
}

void Dialog::ResetState() {
    state_.clear();
    for (const auto& c : tpl_.controls) {
        if (c.id == IDC_STATIC) continue;
        ControlState s;
        s.enabled = !(c.style & kDisabled);
        s.visible = !(c.style & kHidden);
        if (c.kind == Kind::PushButton || c.kind == Kind::RadioButton || c.kind == Kind::GroupBox ||
            c.kind == Kind::Static)
            s.text = c.label;
        state_[c.id] = s;
    }
}

int Dialog::DoModal() {
    if (ui_.QuitRequested()) return IDCANCEL;
    ended_ = false;
    result_ = IDCANCEL;
    int r = ui_.RunModal(*this);
    observer_ = nullptr;
    return r;
}

bool Dialog::Create() {
    if (ui_.QuitRequested()) return false;
    ended_ = false;
    Initialize();
    shown_ = true;
    ui_.ShowModeless(*this);
    return true;
}

void Dialog::DestroyWindow() {
    if (!shown_) return;
    shown_ = false;
    ui_.DestroyModeless(*this);
    observer_ = nullptr;
    PostNcDestroy();  // may delete this
}

void Dialog::Initialize() {
    caption_ = tpl_.caption;
    ResetState();
    focus_ = 0;
    windowEnabled_ = true;
    if (!systemMenu_.empty()) {
        systemMenu_.clear();
        if (observer_) observer_->SystemMenuChanged();
    }
    OnInitDialog();
}

const ControlState& Dialog::State(int id) const {
    auto it = state_.find(id);
    return it == state_.end() ? kNoControl : it->second;
}

void Dialog::Notify(int id) {
    if (observer_) observer_->ControlChanged(id);
}

void Dialog::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (observer_) observer_->CaptionChanged();
}

void Dialog::SetItems(int id, std::vector<std::string> items) {
    for (auto& c : tpl_.controls) {
        if (c.id != id || c.kind != Kind::ComboBox || c.items == items) continue;
        c.items = std::move(items);
        Notify(id);
        return;
    }
}

void Dialog::SetTimer(int ms) {
    timerMs_ = ms > 0 ? ms : 0;
    if (observer_) observer_->TimerChanged();
}

void Dialog::SetItemText(int id, const std::string& text) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    it->second.text = text;
    Notify(id);
}

void Dialog::SetChecked(int id, bool checked) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    it->second.checked = checked;
    Notify(id);
}

void Dialog::CheckRadio(int id) {
    const Control* target = tpl_.Find(id);
    if (!target) return;
    if (target->kind != Kind::RadioButton) {
        SetChecked(id, true);
        return;
    }
    // The group: the run of consecutive radio buttons around the target.
    const auto& cs = tpl_.controls;
    size_t at = 0;
    while (cs[at].id != id) ++at;
    size_t lo = at, hi = at;
    while (lo > 0 && SameRadioGroup(cs, at, lo - 1)) --lo;
    while (hi + 1 < cs.size() && SameRadioGroup(cs, at, hi + 1)) ++hi;
    for (size_t i = lo; i <= hi; ++i) SetChecked(cs[i].id, i == at);
}

void Dialog::EnableItem(int id, bool enabled) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    it->second.enabled = enabled;
    Notify(id);
}

void Dialog::ShowItem(int id, bool visible) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    it->second.visible = visible;
    Notify(id);
}

void Dialog::SetRange(int id, int low, int high) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    it->second.rangeLow = low;
    it->second.rangeHigh = high;
    Notify(id);
}

void Dialog::SetPos(int id, int pos) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    it->second.pos = pos;
    Notify(id);
}

void Dialog::SetFocus(int id) {
    focus_ = id;
    if (observer_) observer_->FocusChanged(id);
}

void Dialog::EnableWindow(bool enabled) {
    windowEnabled_ = enabled;
    if (observer_) observer_->WindowEnabledChanged();
}

void Dialog::EndDialog(int result) {
    result_ = result;
    ended_ = true;
    if (observer_) observer_->Ended();
}

void Dialog::Command(int id) { OnCommand(id); }

void Dialog::AddSystemMenuItem(int id, const std::string& text) {
    systemMenu_.push_back({id, text});
    if (observer_) observer_->SystemMenuChanged();
}

void Dialog::OnSysCommand(int) {}

bool Dialog::TakesDroppedFiles() const {
    for (const auto& c : tpl_.controls)
        if ((c.style & kFileDrop) && IsItemEnabled(c.id)) return true;
    return false;
}

bool Dialog::DropFile(const std::string& path) {
    if (!windowEnabled_) return false;
    for (const auto& c : tpl_.controls) {
        if (!(c.style & kFileDrop) || !IsItemEnabled(c.id)) continue;
        SetItemText(c.id, path);
        UserEdit(c.id, path);
        return true;
    }
    return false;
}

void Dialog::UserEdit(int id, const std::string& text) {
    auto it = state_.find(id);
    if (it == state_.end()) return;
    // The field's style shapes what was typed, as the native control would.
    std::string shaped;
    const Control* c = tpl_.Find(id);
    const unsigned style = c ? c->style : 0;
    for (char ch : text) {
        if ((style & kNumber) && !std::isdigit(static_cast<unsigned char>(ch))) continue;
        shaped += (style & kUpperCase) ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch;
    }
    it->second.text = shaped;
    if (shaped != text) Notify(id);  // the front end shows the shaped text
    OnEditChange(id);
}

bool Dialog::UpdateData(bool save) {
    DataExchange dx(*this, save);
    DoDataExchange(dx);
    return true;
}

bool Dialog::OnInitDialog() { return UpdateData(false); }

void Dialog::OnCommand(int id) {
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
    else if (const Control* c = tpl_.Find(id); c && c->kind == Kind::RadioButton)
        CheckRadio(id);
}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::OnEditChange(int) {}

void Dialog::DoDataExchange(DataExchange&) {}

}  // namespace tk
