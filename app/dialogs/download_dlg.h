#pragma once
// "Download?": the last word before a download starts.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CDownloadDlg : public tk::Dialog {
public:
    explicit CDownloadDlg(CKelvixApp& app);
};

}  // namespace kv
