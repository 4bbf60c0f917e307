#pragma once
// Program or download file selection in the boot-loader mode.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CSelectDlg : public tk::Dialog {
public:
    explicit CSelectDlg(CKelvixApp& app);

protected:
    CKelvixApp& app_;
};

}  // namespace kv
