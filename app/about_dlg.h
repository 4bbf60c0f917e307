#pragma once
// "About Kelvane": the icon, the product and version, OK.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CAboutDlg : public tk::Dialog {
public:
    explicit CAboutDlg(CKelvixApp& app);
};

}  // namespace kv
