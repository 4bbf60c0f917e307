#include "app/kelvix_dlg.h"

#include "app/about_dlg.h"
#include "app/dialogs/id_check_dlg.h"
#include "app/dialogs/pre_erase_dlg.h"
#include "app/dialogs/select_dlg.h"
#include "app/kelvix_app.h"
#include "link/bring_up.h"
#include "link/setting_cmd.h"
#include "ops/blank_cmd.h"
#include "ops/bpr_cmd.h"
#include "ops/download_cmd.h"
#include "ops/epr_cmd.h"
#include "ops/erase_cmd.h"
#include "ops/program_cmd.h"
#include "ops/read_cmd.h"
#include "query/states_cmd.h"
#include "query/version_cmd.h"
#include "res/strings.h"
#include "res/templates.h"

namespace kv {

namespace {
constexpr int kBootLoaderMode = 1;

// Builds the operation on the stack and runs it once; its result is its own business.
template <class Cmd>
void RunOperation(CKelvixApp& app) {
    Cmd cmd(app);
    cmd.Run();
}
}  // namespace

CKelvixDlg::CKelvixDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), PanelTemplate(app.edition())), app_(app) {}

bool CKelvixDlg::OnInitDialog() {
    const std::string about = app_.String(IDS_ABOUTBOX);
    if (!about.empty()) AddSystemMenuItem(IDM_ABOUTBOX, about);
    // The window icon is the application's, set by the front end.
    return tk::Dialog::OnInitDialog();
}

void CKelvixDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) != IDM_ABOUTBOX) return;
    CAboutDlg about(app_);
    about.DoModal();
}

int CKelvixDlg::CheckIdPassed() {
    if (!app_.linkReady) {
        app_.Message(IDS_CANNOT_COMMUNICATE, tk::Icon::Information);
        return 0;
    }
    if (!app_.idVerified) {
        app_.Message(IDS_NOT_PASS_ID, tk::Icon::Information);
        return 0;
    }
    return 1;
}

int CKelvixDlg::CheckLink() { return ProbeStatus(app_) ? 1 : 0; }

int CKelvixDlg::CheckBootLoader() { return ProbeBootLoader(app_) ? 1 : 0; }

int CKelvixDlg::ProbeForMode() { return kv::ProbeForMode(app_) ? 1 : 0; }

int CKelvixDlg::CheckLinkGate() {
    if (!app_.linkReady) {
        app_.Message(IDS_CANNOT_COMMUNICATE, tk::Icon::Information);
        return 0;
    }
    return ProbeForMode();
}

bool CKelvixDlg::ConfirmErase() {
    CPreEraseDlg confirm(app_);
    return confirm.DoModal() == tk::IDOK;
}

void CKelvixDlg::OnCommand(int id) {
    switch (id) {
        case IDC_ERASE:
            if (CheckIdPassed() && CheckLink() && ConfirmErase()) RunOperation<CEraseCmd>(app_);
            break;
        case IDC_EPR:
            if (CheckIdPassed() && CheckLink() && ConfirmErase()) RunOperation<CEPRCmd>(app_);
            break;
        case IDC_BLANK:
            if (CheckIdPassed() && CheckLink()) RunOperation<CBlankCmd>(app_);
            break;
        case IDC_READ:
            if (CheckIdPassed() && CheckLink()) RunOperation<CReadCmd>(app_);
            break;
        case IDC_PROGRAM:
            if (CheckIdPassed() && CheckLink()) RunOperation<CProgramCmd>(app_);
            break;
        case IDC_BPR:
            if (CheckIdPassed() && CheckLink()) RunOperation<CBPRCmd>(app_);
            break;
        case IDC_DOWNLOAD:
            if (CheckIdPassed() && ProbeForMode()) RunOperation<CDownloadCmd>(app_);
            break;
        case IDC_LOAD_ID: OnLoadId(); break;
        case IDC_SETTING:
            // The setting is how a link that is down gets set again: it needs
            // no gate then, and a successful setting raises the flag.
            if (!app_.linkReady || ProbeForMode()) RunOperation<CSettingCmd>(app_);
            break;
        case IDC_VERSION:
            if (CheckLinkGate()) RunOperation<CVersionCmd>(app_);
            break;
        case IDC_STATUS: OnStatus(); break;
        default:
            tk::Dialog::OnCommand(id);  // OK and Exit
            break;
    }
}

void CKelvixDlg::OnLoadId() {
    if (!CheckLinkGate()) return;
    app_.firstRun = 0;
    if (app_.programMode == kBootLoaderMode) {
        CSelectDlg select(app_);
        select.DoModal();
    } else {
        CIDCheckDlg idCheck(app_);
        idCheck.DoModal();
    }
}

void CKelvixDlg::OnStatus() {
    if (!app_.linkReady) {
        app_.Message(IDS_CANNOT_COMMUNICATE, tk::Icon::Information);
        return;
    }
    // The status probe in every mode: the status read is what follows.
    if (CheckLink()) RunOperation<CStatesCmd>(app_);
}

// Enter does nothing: the panel ends only through Exit, which takes the link
// back to 9600 bps first.
void CKelvixDlg::OnOK() {}

// Exit, Escape and the window's close all come here.
void CKelvixDlg::OnCancel() { OnExit(); }

void CKelvixDlg::OnExit() {
    app_.ResetTo9600();
    app_.Lock().Release();
    EndDialog(tk::IDCANCEL);
}

}  // namespace kv
