#include "app/kelvix_app.h"

#include "res/strings.h"

namespace kv {

CKelvixApp::CKelvixApp(Edition edition, AppServices services, std::unique_ptr<plat::ISerialDevice> device)
    : CLink(edition, services.clock, services.profile, std::move(device), *this), services_(services) {}

CKelvixApp::~CKelvixApp() = default;

int CKelvixApp::Message(int id, tk::Icon icon, tk::Buttons buttons) {
    return MessageText(String(id), icon, buttons);
}

int CKelvixApp::MessageText(const std::string& text, tk::Icon icon, tk::Buttons buttons) {
    return Ui().MessageBox(text, String(IDS_TITLE), icon, buttons);
}

}  // namespace kv
