#pragma once
// "ID Check": chooses the program file, takes the seven ID bytes (typed, or
// from the ID file beside the program file), and unlocks the chip with them.
// MCU types: 0 Vireo/M, 1 Vireo/H, 2 Wren.
#include <array>
#include <cstdint>
#include <string>

#include "link/protocol.h"
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CIDCheckDlg : public tk::Dialog {
public:
    enum {
        IDC_ID1 = 1002,  // ID1..ID7 are 1002..1008
        IDC_REFER = 1010,
        IDC_FILE_PATH = 1011,
        IDC_VIREO_M = 1053,
        IDC_VIREO_H = 1054,
        IDC_WREN = 1055,
    };
    static constexpr int kIdCount = 7;
    using IdTexts = std::array<std::string, kIdCount>;
    using IdFrame = kv::IdFrame;

    explicit CIDCheckDlg(CKelvixApp& app);

    const std::string& FilePath() const { return m_strFilePath; }
    const IdTexts& Ids() const { return m_strIds; }
    int McuType() const { return m_nMcuType; }

    // The ID check command: 0xF5, the first ID address of the MCU type (low
    // byte first), 0x07, the seven ID bytes. An ID text that is not two hex
    // digits sends 0xFF.
    static IdFrame BuildIdFrame(int mcuType, const IdTexts& ids);
    // The ID check command that names address 0 and an all-zero ID.
    static IdFrame ZeroIdFrame() { return kZeroIdFrame; }
    // Where the first ID byte of an MCU type lies (Vireo/M for unknown types).
    static uint32_t IdAddress(int mcuType) { return kv::IdAddress(mcuType); }

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnEditChange(int id) override;

private:
    void OnRefer();
    void ClearIds();
    // OK with the file loaded: it joins the recent files.
    void Accept();

    CKelvixApp& app_;
    std::string m_strFilePath;
    IdTexts m_strIds;
    int m_nMcuType;
};

// The file-open filter of the program file dialogs.
extern const char* const kProgramFileFilter;

}  // namespace kv
