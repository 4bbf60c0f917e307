#pragma once
// "Program/Download File Select": chooses the program or download file in
// the boot-loader mode and loads it into the memory image.
#include <string>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CSelectDlg : public tk::Dialog {
public:
    enum { IDC_REFER = 1010, IDC_FILE_PATH = 1011 };

    explicit CSelectDlg(CKelvixApp& app);

    const std::string& FilePath() const { return m_strFilePath; }

    // Whether Refer... takes a file by its name: a program file ending
    // (ProgramFileEnding), case-sensitive.
    static bool IsProgramFileName(const std::string& path);

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
    void OnCommand(int id) override;
    void OnOK() override;

private:
    void OnRefer();

    CKelvixApp& app_;
    std::string m_strFilePath;
};

}  // namespace kv
