#include "image/select_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

// Placeholder until the dialog lands.
CSelectDlg::CSelectDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), SelectTemplate(app.edition())), app_(app) {}

}  // namespace kv
