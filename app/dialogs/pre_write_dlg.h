#pragma once
// "Program next area.": shows the range about to be programmed in two
// read-only fields; any answer but Cancel lets programming start.
#include <cstdint>
#include <string>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CPreWriteDlg : public tk::Dialog {
public:
    enum { IDC_START = 1016, IDC_END = 1002 };

    explicit CPreWriteDlg(CKelvixApp& app);

    // Sets both fields' texts to the range's six-digit addresses.
    void SetAddresses(uint32_t start, uint32_t end);

    std::string m_strEnd;
    std::string m_strStart;

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
};

}  // namespace kv
