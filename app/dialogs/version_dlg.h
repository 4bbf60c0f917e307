#pragma once
// "Firmware Version": the boot loader's version text.
#include <string>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CVersionDlg : public tk::Dialog {
public:
    enum ControlId : int { IDC_VERSION = 1062 };

    explicit CVersionDlg(CKelvixApp& app);

    void SetVersionText(const std::string& text) { m_version = text; }
    const std::string& VersionText() const { return m_version; }

protected:
    void DoDataExchange(tk::DataExchange& dx) override;

private:
    std::string m_version;
};

}  // namespace kv
