#pragma once
// "Do you set communication state?": asked at start-up when the chip did not
// answer the first status read. OK runs the baud-rate setting.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CFirstSetDlg : public tk::Dialog {
public:
    explicit CFirstSetDlg(CKelvixApp& app);
};

}  // namespace kv
