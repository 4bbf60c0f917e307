#pragma once
// The main panel: one button per operation. Each press runs its gates (link
// up, ID verified, boot loader still answering), then builds the operation on
// the stack, runs it once and drops it. The panel keeps no state of its own.
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CKelvixDlg : public tk::Dialog {
public:
    enum : int {
        IDC_LOAD_ID = 1005,
        IDC_BLANK = 1006,
        IDC_READ = 1007,
        IDC_STATUS = 1034,
        IDC_EPR = 1010,
        IDC_BPR = 1008,
        IDC_PROGRAM = 1009,
        IDC_ERASE = 1000,
        IDC_SETTING = 1015,
        IDC_DOWNLOAD = 1063,
        IDC_VERSION = 1064,
        IDC_EXIT = tk::IDCANCEL,
    };
    // The About entry of the system menu.
    static constexpr int IDM_ABOUTBOX = 0x0010;

    explicit CKelvixDlg(CKelvixApp& app);

    // Gates; 1 passes, 0 refuses (after exactly one message, or after
    // RecoverLink for a probe that got no reply).
    int CheckIdPassed();
    // The boot loader still answers a status read.
    int CheckLink();
    // Boot-loader mode: the boot loader still echoes the code of the rate in force.
    int CheckBootLoader();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(int id) override;

private:
    // "Can not communicate." while the link is down; then the boot-loader
    // probe in boot-loader mode, the status probe otherwise.
    int CheckLinkGate();
    int ProbeForMode();
    // "Erase?" answered with OK.
    bool ConfirmErase();

    void OnLoadId();
    void OnStatus();
    void OnExit();

    CKelvixApp& app_;
};

}  // namespace kv
