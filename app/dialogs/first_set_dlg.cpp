#include "app/dialogs/first_set_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CFirstSetDlg::CFirstSetDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), FirstSetTemplate(app.edition())) {}

}  // namespace kv
