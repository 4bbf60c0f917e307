#pragma once
// "Input Address": the start and end of an address range as hexadecimal
// text. The texts last confirmed with OK are remembered for the run and
// shown the next time.
#include <string>
#include <string_view>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CSetAddressDlg : public tk::Dialog {
public:
    enum { IDC_START = 1012, IDC_END = 1013 };

    // Both texts start as the remembered ones.
    explicit CSetAddressDlg(CKelvixApp& app);

    // Replaces both texts before the dialog is shown.
    void SetTexts(const std::string& start, const std::string& end);
    // The text named "start" or "end" (any other name gives the empty text);
    // answers whether it is non-empty.
    bool GetText(std::string_view name, std::string& text) const;

    const std::string& StartText() const { return m_strStart; }
    const std::string& EndText() const { return m_strEnd; }

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
    void OnOK() override;

private:
    CKelvixApp& app_;
    std::string m_strEnd;
    std::string m_strStart;
};

}  // namespace kv
