#pragma once
// "Status": the two status bytes of the boot loader, word by word.
#include <cstdint>
#include <string>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CStatesDlg : public tk::Dialog {
public:
    enum ControlId : int {
        IDC_READY = 1035,
        IDC_ID_CHECK = 1039,
        IDC_ERASE = 1038,
        IDC_PROGRAM = 1036,
        IDC_AFTER_BLOCK = 1037,
        IDC_CHECK_SUM = 1002,
        IDC_RECEIVE_TIMEOUT = 1040,
        IDC_OVER_NUMBER = 1041,
    };

    explicit CStatesDlg(CKelvixApp& app);

    // Decodes SRD (first reply byte) and SRD1 (second) into the eight words.
    void SetStatus(uint8_t srd, uint8_t srd1);

    std::string m_afterBlock;
    std::string m_ready;
    std::string m_program;
    std::string m_erase;
    std::string m_checkSum;
    std::string m_idCheck;
    std::string m_receiveTimeout;
    std::string m_overNumber;

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
};

}  // namespace kv
