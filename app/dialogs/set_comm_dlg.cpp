#include "app/dialogs/set_comm_dlg.h"

#include <climits>

#include "app/kelvix_app.h"
#include "res/strings.h"
#include "res/templates.h"

namespace kv {

uint32_t LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    uint64_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + static_cast<uint64_t>(text[i] - '0');
        if (n > INT_MAX) n = INT_MAX;
    }
    return static_cast<uint32_t>(n);
}

CSetCommDlg::CSetCommDlg(CKelvixApp& app)
    : tk::Dialog(app.Ui(), SetCommTemplate(app.edition())),
      app_(app),
      m_strInterval(std::to_string(app.programInterval)) {}

void CSetCommDlg::SetValues(uint32_t baud, uint8_t, uint8_t, uint8_t) { m_strBaud = std::to_string(baud); }

int CSetCommDlg::GetValues(uint32_t& baud, uint8_t&, uint8_t&, uint8_t&) const {
    if (m_strBaud.empty()) return 0;
    baud = LeadingNumber(m_strBaud);
    return 1;
}

int CSetCommDlg::GetInterval(int& ms) const {
    if (m_strInterval.empty()) return 0;
    ms = static_cast<int>(LeadingNumber(m_strInterval));
    return 1;
}

void CSetCommDlg::DoDataExchange(tk::DataExchange& dx) {
    dx.Text(IDC_BAUD_RATE, m_strBaud);
    dx.Text(IDC_PROGRAM_INTERVAL, m_strInterval);
}

void CSetCommDlg::OnOK() {
    UpdateData(true);
    int interval = 0;
    // A longer pause after every page would leave the operations
    // unanswering for minutes; the dialog stays open for a new value.
    if (GetInterval(interval) && interval > CLinkUser::kMaxProgramIntervalMs) {
        app_.Message(IDS_INTERVAL_TOO_LONG, tk::Icon::Exclamation);
        return;
    }
    GetInterval(app_.programInterval);
    EndDialog(tk::IDOK);
}

}  // namespace kv
