#include "app/dialogs/select_dlg.h"

#include "app/dialogs/id_check_dlg.h"
#include "app/kelvix_app.h"
#include "app/load_program_file.h"
#include "app/recent_files.h"
#include "image/program_file_name.h"
#include "res/strings.h"
#include "res/templates.h"

namespace kv {

CSelectDlg::CSelectDlg(CKelvixApp& app)
    : tk::Dialog(app.Ui(), WithRecentFiles(SelectTemplate(app.edition()), IDC_FILE_PATH, app.Profile())),
      app_(app),
      m_strFilePath(FirstFilePath(app)) {}

bool CSelectDlg::IsProgramFileName(const std::string& path) { return !ProgramFileEnding(path).empty(); }

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

    // A refused file is handled like one that cannot be opened: told once,
    // nothing else changes.
    if (LoadProgramFile(app_, m_strFilePath) != 1) return;
    if (IsProgramFileName(m_strFilePath)) return;
    // The data stay in the image; only the name is refused.
    app_.Message(IDS_CANNOT_ACCEPT_FILE, tk::Icon::Stop);
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
    // A file that is refused or cannot be opened keeps the dialog open.
    LoadNotice notice;
    if (LoadProgramFile(app_, m_strFilePath, &notice) != 1) return;
    app_.idVerified = 1;
    if (LoadProgramFile(app_, m_strFilePath, &notice) != 1) return;
    RememberFile(app_.Profile(), m_strFilePath);
    EndDialog(tk::IDOK);
}

}  // namespace kv
