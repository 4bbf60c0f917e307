#include "image/id_check_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

// Placeholder until the dialog lands.
CIDCheckDlg::CIDCheckDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), IdCheckTemplate(app.edition())), app_(app) {}

}  // namespace kv
