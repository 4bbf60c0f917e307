#include "app/dialogs/pre_write_dlg.h"

#include "app/kelvix_app.h"
#include "link/check_memory_cmd.h"
#include "res/templates.h"

namespace kv {

CPreWriteDlg::CPreWriteDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), PreWriteTemplate(app.edition())) {}

void CPreWriteDlg::SetAddresses(uint32_t start, uint32_t end) {
    m_strStart = CCheckMemorryCmd::ToHex6(start);
    m_strEnd = CCheckMemorryCmd::ToHex6(end);
}

void CPreWriteDlg::DoDataExchange(tk::DataExchange& dx) {
    dx.Text(IDC_END, m_strEnd);
    dx.Text(IDC_START, m_strStart);
}

}  // namespace kv
