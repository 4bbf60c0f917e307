#include "app/dialogs/pre_erase_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CPreEraseDlg::CPreEraseDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), PreEraseTemplate(app.edition())), app_(app) {}

}  // namespace kv
