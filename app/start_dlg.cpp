#include "app/start_dlg.h"

#include <algorithm>

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

namespace {

tk::DialogTemplate WithPresentPorts(CKelvixApp& app) {
    tk::DialogTemplate tpl = StartTemplate(app.edition());
    for (auto& c : tpl.controls) {
        if (c.id != CS_PrgDlg::IDC_PORT) continue;
        for (const auto& port : app.Process().SerialPortsPresent())
            if (std::find(c.items.begin(), c.items.end(), port) == c.items.end()) c.items.push_back(port);
    }
    return tpl;
}

}  // namespace

CS_PrgDlg::CS_PrgDlg(CKelvixApp& app) : tk::Dialog(app.Ui(), WithPresentPorts(app)), app_(app) {}

bool CS_PrgDlg::OnInitDialog() {
    if (app_.IsLite()) {
        const RoutineSlot& slot = app_.Routines().slots[0];
        if (slot.length > 0 && slot.length <= slot.bytes.size())
            SetItemText(IDC_SLOT0_LAST, std::to_string(slot.bytes[slot.length - 1]));
    }
    return tk::Dialog::OnInitDialog();
}

void CS_PrgDlg::DoDataExchange(tk::DataExchange& dx) {
    dx.Text(IDC_PORT, m_strPort);
    if (!app_.IsLite()) dx.Radio(IDC_MODE_FLASH, m_nMode);
}

}  // namespace kv
