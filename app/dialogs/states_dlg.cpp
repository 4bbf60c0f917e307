#include "app/dialogs/states_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

namespace {

const char* Word(uint8_t value, int bit, const char* set, const char* clear) {
    return (value >> bit) & 1 ? set : clear;
}

// SRD1 bits 3-2; the state 10 has no word of its own.
const char* IdCheckWord(uint8_t srd1) {
    switch ((srd1 >> 2) & 0x03) {
        case 0x0: return "Not yet";
        case 0x1: return "Not match";
        case 0x3: return "Match";
        default: return "";
    }
}

}  // namespace

CStatesDlg::CStatesDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), StatesTemplate(app.edition())) {}

void CStatesDlg::SetStatus(uint8_t srd, uint8_t srd1) {
    m_ready = Word(srd, 7, "Ready", "Busy");
    m_erase = Word(srd, 5, "Error", "Right");
    m_program = Word(srd, 4, "Error", "Right");
    m_afterBlock = Word(srd, 3, "Error", "Right");
    m_checkSum = Word(srd1, 4, "Match", "Not match");
    m_idCheck = IdCheckWord(srd1);
    m_receiveTimeout = Word(srd1, 1, "Timeout", "Right");
    m_overNumber = Word(srd1, 0, "Over", "Right");
}

void CStatesDlg::DoDataExchange(tk::DataExchange& dx) {
    dx.Text(IDC_AFTER_BLOCK, m_afterBlock);
    dx.Text(IDC_READY, m_ready);
    dx.Text(IDC_PROGRAM, m_program);
    dx.Text(IDC_ERASE, m_erase);
    dx.Text(IDC_CHECK_SUM, m_checkSum);
    dx.Text(IDC_ID_CHECK, m_idCheck);
    dx.Text(IDC_RECEIVE_TIMEOUT, m_receiveTimeout);
    dx.Text(IDC_OVER_NUMBER, m_overNumber);
}

}  // namespace kv
