#include "app/kelvix_app.h"

#include "res/strings.h"

namespace kv {

CKelvixApp::CKelvixApp(Edition edition, AppServices services, std::unique_ptr<plat::ISerialDevice> device)
    : CKelvixSettings(services.profile, edition == Edition::Kelvane ? TraceLine([&ui = services.ui](const std::string& line) {
                                                                           ui.Trace(line);
                                                                       })
                                                                     : TraceLine()),
      CLink(edition, services.clock, linkSettings, std::move(device), *this),
      services_(services) {}

TraceLine CKelvixApp::SettingsTrace() {
    if (IsLite()) return {};
    return [this](const std::string& line) { Ui().Trace(line); };
}

CKelvixApp::~CKelvixApp() = default;

std::string CKelvixApp::String(int id) const { return LoadString(edition(), id); }

int CKelvixApp::Message(int id, tk::Icon icon, tk::Buttons buttons) {
    return MessageText(LoadString(edition(), id), icon, buttons);
}

int CKelvixApp::MessageText(const std::string& text, tk::Icon icon, tk::Buttons buttons) {
    return Ui().MessageBox(text, LoadString(edition(), IDS_TITLE), icon, buttons);
}

}  // namespace kv
