#include "app/dialogs/progress_dlg.h"

#include <cstdio>

#include <algorithm>
#include <climits>

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CProgressDlg::CProgressDlg(CKelvixApp& app, int* cancelFlag)
    : tk::Dialog(app.Ui(), ProgressTemplate(app.edition())), m_pCancelFlag(cancelFlag) {}

CProgressDlg* CProgressDlg::Open(CKelvixApp& app, int* cancelFlag, tk::Dialog* parent) {
    if (!cancelFlag) return nullptr;
    auto* dlg = new CProgressDlg(app, cancelFlag);
    dlg->m_pParent = parent ? parent : app.Ui().ActiveWindow();
    if (!dlg->Create()) {
        delete dlg;
        return nullptr;
    }
    if (dlg->m_pParent) {
        dlg->m_bParentEnabled = dlg->m_pParent->IsWindowEnabled();
        dlg->m_pParent->EnableWindow(false);
        dlg->EnableWindow(true);
    }
    return dlg;
}

void CProgressDlg::Prepare(const std::string& message, const std::string& title, uint16_t low, uint16_t high,
                           uint32_t pos) {
    m_strMessage = message;
    UpdateData(false);
    SetCaption(title);
    SetRange(IDC_PROGRESS, low, high);
    SetPos(pos);
}

void CProgressDlg::SetPos(uint32_t pos) {
    if (!IsWindow()) return;
    tk::Dialog::SetPos(IDC_PROGRESS, static_cast<int>(std::min<uint32_t>(pos, INT_MAX)));
}

void CProgressDlg::SetAddress(uint32_t address) {
    if (!IsWindow()) return;
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(address & 0xFFFFFF));
    SetItemText(IDC_PROGRESS, text);
}

void CProgressDlg::Close() {
    m_onCancel = nullptr;  // the program closes it: no cancel by the user
    if (IsWindow()) OnCancel();
}

void CProgressDlg::DoDataExchange(tk::DataExchange& dx) { dx.Text(IDC_MESSAGE, m_strMessage); }

void CProgressDlg::OnOK() {}

void CProgressDlg::OnCancel() {
    *m_pCancelFlag = 1;
    if (m_pParent) m_pParent->EnableWindow(m_bParentEnabled);
    const std::function<void()> then = std::move(m_onCancel);
    DestroyWindow();  // deletes this
    if (then) then();
}

void CProgressDlg::PostNcDestroy() { delete this; }

bool PumpPendingMessages(tk::Ui& ui) { return ui.PumpPending(); }

}  // namespace kv
