#pragma once
// "Select Program": the program mode (kelvane) and the port.
#include <string>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CS_PrgDlg : public tk::Dialog {
public:
    enum : int {
        IDC_MODE_FLASH = 1058,      // mode 0, first of the radio group
        IDC_MODE_BOOT = 1056,       // mode 1
        IDC_MODE_COMPANION = 1057,  // mode 2
        IDC_PORT = 1060,
        IDC_SLOT0_LAST = 1077,  // kelvlite: never shown
    };

    // The port list offers "COM1".."COM4" and then the serial ports present
    // on the machine, so a USB adapter can be picked.
    explicit CS_PrgDlg(CKelvixApp& app);

    std::string m_strPort = "COM1";
    int m_nMode = 0;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(tk::DataExchange& dx) override;

private:
    CKelvixApp& app_;
};

}  // namespace kv
