#include "app/dialogs/id_check_dlg.h"

#include "app/kelvix_app.h"
#include "app/load_program_file.h"
#include "app/recent_files.h"
#include "image/id_file.h"
#include "link/id_check.h"
#include "res/strings.h"
#include "res/templates.h"

namespace kv {

// Every name kelvane-cli reads first, as the filter the dialog opens with.
const char* const kProgramFileFilter =
    "Program File (*.mot;*.s;*.s2;*.srec;*.s19;*.s28;*.s37;*.hex)|*.mot;*.s;*.s2;*.srec;*.s19;*.s28;*.s37;*.hex|"
    "Motlora Hex File (*.s;*.mot;*.s2)|*.s;*.mot;*.s2|Intel HEX File (*.hex)|*.hex|Boot Program (*.btp)|*.btp|"
    "All Files (*.*)|*.*|";

namespace {

// Two characters: what one ID field holds. A character that is no hex
// digit goes to the chip as F, which refuses the ID.
bool IsIdByte(const std::string& text) { return text.size() == 2; }

}  // namespace

CIDCheckDlg::CIDCheckDlg(CKelvixApp& app)
    : tk::Dialog(app.Ui(), WithRecentFiles(IdCheckTemplate(app.edition()), IDC_FILE_PATH, app.Profile())),
      app_(app),
      m_strFilePath(FirstFilePath(app)),
      m_nMcuType(app.lastMcuType) {}

CIDCheckDlg::IdFrame CIDCheckDlg::BuildIdFrame(int mcuType, const IdTexts& ids) {
    return kv::BuildIdFrame(IdAddress(mcuType), IdBytesOf(ids));
}

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

    IdState state = IdState::NotYet;
    if (!ReadIdState(app_, state).Ok()) {
        // The link was rebuilt (or the user ended the program): go on as
        // with a chip that has not verified the ID.
        if (ui_.QuitRequested()) return;
        state = IdState::NotYet;
    }
    if (state == IdState::Verified && app_.firstRun == 0) {
        app_.idVerified = 1;
        if (LoadProgramFile(app_, m_strFilePath, &notice) == 1) Accept();
        return;
    }

    for (size_t i = 0; i < m_strIds.size(); ++i) {
        if (IsIdByte(m_strIds[i])) continue;
        // The refusal names the field, and the focus goes there.
        std::string field = app_.String(IDS_ID_FIELD_STYLE);
        field.replace(field.find("%s"), 2, "ID" + std::to_string(i + 1));
        app_.MessageText(app_.String(IDS_ID_STYLE) + "\n" + field, tk::Icon::Exclamation);
        SetFocus(IDC_ID1 + static_cast<int>(i));
        return;
    }
    // A lost reply says nothing about the ID: the recovery has cleared the
    // flag, and the dialog stays open for another try.
    const Outcome checked = CheckId(app_, BuildIdFrame(m_nMcuType, m_strIds));
    if (checked.Ok()) {
        if (LoadProgramFile(app_, m_strFilePath, &notice) == 1) Accept();
        return;
    }
    if (checked.kind == OutcomeKind::IdRefused) app_.Report(checked);
}

void CIDCheckDlg::Accept() {
    RememberFile(app_.Profile(), m_strFilePath);
    EndDialog(tk::IDOK);
}

void CIDCheckDlg::OnCancel() {
    if (app_.firstRun == 1) {
        // Leaving at start-up puts the chip's ID state back to "not verified".
        SendIdCheck(app_, ZeroIdFrame());
        app_.idVerified = 0;
    }
    EndDialog(tk::IDCANCEL);
}

}  // namespace kv
