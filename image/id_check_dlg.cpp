#include "image/id_check_dlg.h"

#include "app/kelvix_app.h"
#include "app/load_program_file.h"
#include "image/id_file.h"
#include "link/check_memory_cmd.h"
#include "link/command.h"
#include "link/status_read.h"
#include "res/strings.h"
#include "res/templates.h"

namespace kv {

const char* const kProgramFileFilter =
    "Motlora Hex File (*.s;*.mot;*.s2)|*.s;*.mot;*.s2|Boot Program (*.btp)|*.btp|All Files (*.*)|*.*|";

namespace {

constexpr uint32_t kSettleMs = 50;    // the chip's pause after a command without reply
constexpr uint8_t kIdStateMask = 0x0C;  // SRD1 bits 3-2: 11 = ID verified
constexpr uint8_t kIdByteCount = 0x07;

bool IsHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

bool IdVerifiedIn(uint8_t srd1) { return (srd1 & kIdStateMask) == kIdStateMask; }

}  // namespace

int McuTypeOfImage(CLink& link) {
    uint32_t start = 0;
    uint32_t end = 0;
    CCheckMemorryCmd(link).DefaultImageRange(start, end);
    if (end == 0xFFFFFF) return 1;
    if (end == 0x00FFFF) return 2;
    return 0;
}

bool SendIdCheck(CLink& link, const CIDCheckDlg::IdFrame& frame) {
    if (!link.LoadRoutine(kIdCheck)) return false;
    link.Channel().Write(frame.data(), frame.size());
    if (link.IsLite()) return link.WaitAcknowledgement() != 0;
    link.Sleep(kSettleMs);
    return true;
}

CIDCheckDlg::CIDCheckDlg(CKelvixApp& app)
    : tk::Dialog(app.Ui(), IdCheckTemplate(app.edition())), app_(app), m_nMcuType(app.lastMcuType) {}

uint32_t CIDCheckDlg::IdAddress(int mcuType) {
    if (mcuType == 1) return 0xFFFFDF;
    if (mcuType == 2) return 0x00FFD4;
    return 0x0FFFDF;
}

CIDCheckDlg::IdFrame CIDCheckDlg::BuildIdFrame(int mcuType, const IdTexts& ids) {
    const uint32_t address = IdAddress(mcuType);
    IdFrame frame{kIdCheck, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                  static_cast<uint8_t>(address >> 16), kIdByteCount};
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::string& text = ids[i];
        uint8_t value = 0xFF;
        if (text.size() >= 2 && IsHexDigit(text[0]) && IsHexDigit(text[1]))
            value = static_cast<uint8_t>(CCommand::HexDigitValue(text[0]) << 4 | CCommand::HexDigitValue(text[1]));
        frame[5 + i] = value;
    }
    return frame;
}

CIDCheckDlg::IdFrame CIDCheckDlg::ZeroIdFrame() { return IdFrame{kIdCheck, 0x00, 0x00, 0x00, kIdByteCount}; }

void CIDCheckDlg::DoDataExchange(tk::DataExchange& dx) {
    dx.Text(IDC_FILE_PATH, m_strFilePath);
    for (int i = 0; i < kIdCount; ++i) dx.Text(IDC_ID1 + i, m_strIds[static_cast<size_t>(i)]);
    dx.Radio(IDC_VIREO_M, m_nMcuType);
}

void CIDCheckDlg::OnCommand(int id) {
    if (id == IDC_REFER)
        OnRefer();
    else
        tk::Dialog::OnCommand(id);
}

void CIDCheckDlg::OnEditChange(int id) {
    // kelvlite moves on to the next ID field once one holds its two digits;
    // after the last one the focus goes to OK, so that Enter checks the ID.
    if (!app_.IsLite() || id < IDC_ID1 || id >= IDC_ID1 + kIdCount) return;
    if (GetItemText(id).size() != 2) return;
    SetFocus(id + 1 < IDC_ID1 + kIdCount ? id + 1 : tk::IDOK);
}

void CIDCheckDlg::ClearIds() {
    for (auto& id : m_strIds) id.clear();
}

void CIDCheckDlg::OnRefer() {
    UpdateData(true);
    app_.lastMcuType = m_nMcuType;
    const auto chosen = ui_.OpenFile(kProgramFileFilter);
    if (!chosen) return;
    m_strFilePath = *chosen;
    SetItemText(IDC_FILE_PATH, m_strFilePath);

    // A refused file is handled like one that cannot be opened: told once,
    // nothing else changes.
    if (LoadProgramFile(app_, m_strFilePath) != 1) return;
    m_nMcuType = McuTypeOfImage(app_);
    app_.lastMcuType = m_nMcuType;
    UpdateData(false);

    const std::string idPath = IdFilePathFor(m_strFilePath);
    if (idPath.empty()) {
        app_.Message(IDS_CANNOT_ACCEPT_FILE, tk::Icon::Stop);
        ClearIds();
        UpdateData(false);
        return;
    }
    // Both passes read one opening of the file, so it cannot vanish between them.
    const IdFileScan scan = ReadIdFile(idPath, m_nMcuType);
    if (!scan.opened) {
        app_.Message(IDS_NO_ID_FILE, tk::Icon::Exclamation);
        ClearIds();
        UpdateData(false);
        return;
    }
    m_nMcuType = scan.mcuType;
    app_.lastMcuType = m_nMcuType;
    for (size_t i = 0; i < m_strIds.size(); ++i)
        if (scan.ids[i]) m_strIds[i] = *scan.ids[i];
    UpdateData(false);
}

bool CIDCheckDlg::ReadStatus(uint8_t& srd, uint8_t& srd1) {
    const StatusReply status = SendStatusRead(app_, app_.Channel());
    if (!status.answered) return false;
    srd = status.srd;
    srd1 = status.srd1;
    return true;
}

bool CIDCheckDlg::SendIdFrame(const IdFrame& frame) { return SendIdCheck(app_, frame); }

void CIDCheckDlg::OnOK() {
    tk::WaitCursor wait(ui_);
    UpdateData(true);
    app_.lastMcuType = m_nMcuType;
    if (m_strFilePath.empty()) {
        app_.Message(IDS_NO_FILENAME, tk::Icon::Exclamation);
        return;
    }
    // A file that is refused or cannot be opened keeps the dialog open and
    // sends nothing; the message has been shown.
    LoadNotice notice;
    if (LoadProgramFile(app_, m_strFilePath, &notice) != 1) return;
    if (app_.IsLite()) app_.Sleep(kSettleMs);

    uint8_t srd = 0;
    uint8_t srd1 = 0;
    if (!ReadStatus(srd, srd1)) {
        // The link was rebuilt (or the user ended the program): go on as
        // with a chip that has not verified the ID.
        if (ui_.QuitRequested()) return;
        srd = srd1 = 0;
    }
    if (IdVerifiedIn(srd1) && app_.firstRun == 0) {
        app_.idVerified = 1;
        if (LoadProgramFile(app_, m_strFilePath, &notice) == 1) EndDialog(tk::IDOK);
        return;
    }

    for (const auto& id : m_strIds) {
        if (id.size() != 2) {
            app_.Message(IDS_ID_STYLE, tk::Icon::Exclamation);
            return;
        }
    }
    if (!SendIdFrame(BuildIdFrame(m_nMcuType, m_strIds))) return;

    // A status read without a reply says nothing about the ID: the recovery
    // has cleared the flag, and the dialog stays open for another try.
    if (!ReadStatus(srd, srd1)) return;
    if (IdVerifiedIn(srd1)) {
        app_.idVerified = 1;
        if (LoadProgramFile(app_, m_strFilePath, &notice) == 1) EndDialog(tk::IDOK);
        return;
    }
    app_.Channel().Purge();
    app_.idVerified = 0;
    app_.Message(IDS_NOT_MATCH_ID, tk::Icon::Exclamation);
}

void CIDCheckDlg::OnCancel() {
    if (app_.firstRun == 1) {
        // Leaving at start-up puts the chip's ID state back to "not verified".
        SendIdFrame(ZeroIdFrame());
        app_.idVerified = 0;
    }
    EndDialog(tk::IDCANCEL);
}

}  // namespace kv
