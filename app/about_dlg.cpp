#include "app/about_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CAboutDlg::CAboutDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), AboutTemplate(app.edition())) {}

}  // namespace kv
