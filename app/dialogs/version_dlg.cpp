#include "app/dialogs/version_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CVersionDlg::CVersionDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), VersionTemplate(app.edition())) {}

void CVersionDlg::DoDataExchange(tk::DataExchange& dx) { dx.Text(IDC_VERSION, m_version); }

}  // namespace kv
