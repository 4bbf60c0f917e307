#include "app/kelvix_app.h"

#include "res/strings.h"

namespace kv {

namespace {
// The "First_data" trace lines go to the front end in kelvane only.
TraceLine TraceFor(Edition edition, tk::Ui& ui) {
    if (edition != Edition::Kelvane) return {};
    return [&ui](const std::string& line) { ui.Trace(line); };
}
}  // namespace

CKelvixApp::CKelvixApp(Edition edition, AppServices services, std::unique_ptr<plat::ISerialDevice> device)
    : CKelvixSettings(services.profile, TraceFor(edition, services.ui)),
      CLink(edition, services.clock, linkSettings, std::move(device), *this),
      services_(services) {}

CKelvixApp::~CKelvixApp() = default;

std::string CKelvixApp::String(int id) const { return LoadString(edition(), id); }

int CKelvixApp::Message(int id, tk::Icon icon, tk::Buttons buttons) {
    return MessageText(LoadString(edition(), id), icon, buttons);
}

int CKelvixApp::MessageText(const std::string& text, tk::Icon icon, tk::Buttons buttons) {
    return Ui().MessageBox(text, LoadString(edition(), IDS_TITLE), icon, buttons);
}

}  // namespace kv
