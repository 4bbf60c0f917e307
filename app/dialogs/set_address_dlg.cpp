#include "app/dialogs/set_address_dlg.h"

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

CSetAddressDlg::CSetAddressDlg(CKelvixApp& app)
    : tk::Dialog(app.Ui(), SetAddressTemplate(app.edition())),
      app_(app),
      m_strEnd(app.rememberedEnd),
      m_strStart(app.rememberedStart) {}

void CSetAddressDlg::SetTexts(const std::string& start, const std::string& end) {
    m_strStart = start;
    m_strEnd = end;
}

bool CSetAddressDlg::GetText(std::string_view name, std::string& text) const {
    if (name == "start")
        text = m_strStart;
    else if (name == "end")
        text = m_strEnd;
    else
        text.clear();
    return !text.empty();
}

void CSetAddressDlg::DoDataExchange(tk::DataExchange& dx) {
    dx.Text(IDC_END, m_strEnd);
    dx.Text(IDC_START, m_strStart);
}

void CSetAddressDlg::OnOK() {
    UpdateData(true);
    app_.rememberedStart = m_strStart;
    app_.rememberedEnd = m_strEnd;
    EndDialog(tk::IDOK);
}

}  // namespace kv
