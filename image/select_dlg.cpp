#include "image/select_dlg.h"

#include <string_view>

#include "app/kelvix_app.h"
#include "app/load_program_file.h"
#include "image/id_check_dlg.h"
#include "res/strings.h"
#include "res/templates.h"

namespace kv {

CSelectDlg::CSelectDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), SelectTemplate(app.edition())), app_(app) {}

bool CSelectDlg::IsProgramFileName(const std::string& path) {
    for (std::string_view ending : {".mot", ".s", ".s2"})
        if (path.ends_with(ending)) return true;
    return false;
}

void CSelectDlg::DoDataExchange(tk::DataExchange& dx) { dx.Text(IDC_FILE_PATH, m_strFilePath); }

void CSelectDlg::OnCommand(int id) {
    if (id == IDC_REFER)
        OnRefer();
    else
        tk::Dialog::OnCommand(id);
}

void CSelectDlg::OnRefer() {
    UpdateData(true);
    const auto chosen = ui_.OpenFile(kProgramFileFilter);
    if (!chosen) return;
    m_strFilePath = *chosen;
    SetItemText(IDC_FILE_PATH, m_strFilePath);

    LoadNotice notice;
    LoadProgramFile(app_, m_strFilePath, &notice);
    if (app_.Image().LastStatus() == LoadStatus::CannotOpen) return;  // told already
    if (IsProgramFileName(m_strFilePath)) return;
    // The data stay in the image; only the name is refused. A file whose
    // load was refused already is not refused a second time.
    if (!notice.told) app_.Message(IDS_CANNOT_ACCEPT_FILE, tk::Icon::Stop);
    m_strFilePath.clear();
    SetItemText(IDC_FILE_PATH, m_strFilePath);
}

void CSelectDlg::OnOK() {
    tk::WaitCursor wait(ui_);
    UpdateData(true);
    if (m_strFilePath.empty()) {
        app_.Message(IDS_NO_FILENAME, tk::Icon::Exclamation);
        return;
    }
    LoadNotice notice;
    LoadProgramFile(app_, m_strFilePath, &notice);
    if (app_.Image().LastStatus() == LoadStatus::CannotOpen) return;  // told already; stay open
    app_.idVerified = 1;
    LoadProgramFile(app_, m_strFilePath, &notice);
    EndDialog(tk::IDOK);
}

}  // namespace kv
