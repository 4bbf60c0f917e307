#include "app/start_dlg.h"

#include <algorithm>
#include <filesystem>

#include "app/kelvix_app.h"
#include "res/templates.h"

namespace kv {

namespace {

const char kPortSection[] = "Last Port";
const char kPortKey[] = "Port";

// How often the list looks for adapters that came or went.
constexpr int kPortPollMs = 1000;

// "COM1".."COM4" of the template, then the adapters.
std::vector<std::string> PortItems(const std::vector<plat::SerialAdapter>& adapters, Edition edition) {
    std::vector<std::string> items;
    if (const tk::Control* c = StartTemplate(edition).Find(CS_PrgDlg::IDC_PORT)) items = c->items;
    for (const auto& adapter : adapters) {
        const std::string item = CS_PrgDlg::PortItem(adapter);
        if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
    }
    return items;
}

tk::DialogTemplate WithPresentPorts(const std::vector<plat::SerialAdapter>& adapters, Edition edition) {
    tk::DialogTemplate tpl = StartTemplate(edition);
    for (auto& c : tpl.controls)
        if (c.id == CS_PrgDlg::IDC_PORT) c.items = PortItems(adapters, edition);
    return tpl;
}

}  // namespace

std::string LastPort(CKelvixApp& app) { return app.Profile().Get(kPortSection, kPortKey).value_or(""); }

void RememberPort(CKelvixApp& app, const std::string& port) {
    if (!port.empty() && LastPort(app) != port) app.Profile().Set(kPortSection, kPortKey, port);
}

std::string CS_PrgDlg::PortItem(const plat::SerialAdapter& adapter) {
    if (adapter.byId.empty()) return adapter.device;
    return adapter.device + " (" + std::filesystem::path(adapter.byId).filename().string() + ")";
}

CS_PrgDlg::CS_PrgDlg(CKelvixApp& app) : CS_PrgDlg(app, app.Process().SerialPortsPresent()) {}

CS_PrgDlg::CS_PrgDlg(CKelvixApp& app, std::vector<plat::SerialAdapter> adapters)
    : tk::Dialog(app.Ui(), WithPresentPorts(adapters, app.edition())), app_(app), adapters_(std::move(adapters)) {}

std::string CS_PrgDlg::PresetPort() const {
    if (std::string last = LastPort(app_); !last.empty()) return last;
    const auto usb = std::count_if(adapters_.begin(), adapters_.end(), [](const auto& a) { return a.usb; });
    if (usb == 1) return std::find_if(adapters_.begin(), adapters_.end(), [](const auto& a) { return a.usb; })->device;
    return "COM1";
}

bool CS_PrgDlg::OnInitDialog() {
    if (app_.IsLite()) {
        const RoutineSlot& slot = app_.Routines().slots[0];
        if (slot.length > 0 && slot.length <= slot.bytes.size())
            SetItemText(IDC_SLOT0_LAST, std::to_string(slot.bytes[slot.length - 1]));
    }
    SetTimer(kPortPollMs);
    return tk::Dialog::OnInitDialog();
}

void CS_PrgDlg::OnTimer() {
    std::vector<plat::SerialAdapter> now = app_.Process().SerialPortsPresent();
    const auto same = [](const plat::SerialAdapter& a, const plat::SerialAdapter& b) {
        return a.device == b.device && a.byId == b.byId && a.usb == b.usb;
    };
    if (std::equal(now.begin(), now.end(), adapters_.begin(), adapters_.end(), same)) return;
    // The port in the field stays; the entry of an adapter that went shows
    // its bare device, a device that came shows its entry.
    UpdateData(true);
    adapters_ = std::move(now);
    SetItems(IDC_PORT, PortItems(adapters_, app_.edition()));
    UpdateData(false);
}

void CS_PrgDlg::DoDataExchange(tk::DataExchange& dx) {
    // The field shows an adapter's list entry; the port is its device.
    std::string shown = m_strPort;
    if (!dx.Saving())
        for (const auto& a : adapters_)
            if (a.device == m_strPort) shown = PortItem(a);
    dx.Text(IDC_PORT, shown);
    if (dx.Saving()) {
        m_strPort = shown;
        for (const auto& a : adapters_)
            if (PortItem(a) == shown) m_strPort = a.device;
    }
    if (!app_.IsLite()) dx.Radio(IDC_MODE_FLASH, m_nMode);
}

}  // namespace kv
