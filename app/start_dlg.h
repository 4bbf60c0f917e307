#pragma once
// "Select Program": the program mode (kelvane) and the port.
#include <string>
#include <vector>

#include "platform/serial_ports.h"
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

    // The port list offers "COM1".."COM4" and then each serial adapter
    // present on the machine, once, with its stable /dev/serial/by-id name
    // beside the device ("/dev/ttyUSB0 (usb-FTDI_...)"); picking that entry
    // gives the device.
    explicit CS_PrgDlg(CKelvixApp& app);

    std::string m_strPort = "COM1";
    int m_nMode = 0;

    // The port the dialog opens with when the command line names none: the
    // one used last, else the only USB adapter present, else COM1.
    std::string PresetPort() const;

    // The list entry of an adapter.
    static std::string PortItem(const plat::SerialAdapter& adapter);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(tk::DataExchange& dx) override;
    // Adapters plugged in or pulled out while the dialog is open.
    void OnTimer() override;

private:
    CS_PrgDlg(CKelvixApp& app, std::vector<plat::SerialAdapter> adapters);

    CKelvixApp& app_;
    std::vector<plat::SerialAdapter> adapters_;
};

// The settings file's "Last Port" section: the port the link was opened on
// last ("Port"), or empty.
std::string LastPort(CKelvixApp& app);
void RememberPort(CKelvixApp& app, const std::string& port);

}  // namespace kv
