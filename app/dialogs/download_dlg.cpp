#include "app/dialogs/download_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CDownloadDlg::CDownloadDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), DownloadTemplate(app.edition())) {}

}  // namespace kv
