#pragma once
// The "Erase?" confirmation shown before an erase: only OK lets it start.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CPreEraseDlg : public tk::Dialog {
public:
    explicit CPreEraseDlg(CKelvixApp& app);

protected:
    CKelvixApp& app_;
};

}  // namespace kv
