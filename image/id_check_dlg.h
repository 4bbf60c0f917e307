#pragma once
// The ID check: program file, the seven ID bytes, the MCU type.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CIDCheckDlg : public tk::Dialog {
public:
    explicit CIDCheckDlg(CKelvixApp& app);

protected:
    CKelvixApp& app_;
};

}  // namespace kv
