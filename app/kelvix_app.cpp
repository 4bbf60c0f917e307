#include "app/kelvix_app.h"

#include "res/strings.h"

namespace kv {

CKelvixApp::CKelvixApp(Edition edition, AppServices services, std::unique_ptr<plat::ISerialDevice> device)
    : edition_(edition), services_(services), channel_(std::move(device), services.clock) {}

CKelvixApp::~CKelvixApp() = default;

std::string CKelvixApp::String(int id) const { return LoadString(edition_, id); }

int CKelvixApp::Message(int id, tk::Icon icon, tk::Buttons buttons) {
    return MessageText(String(id), icon, buttons);
}

int CKelvixApp::MessageText(const std::string& text, tk::Icon icon, tk::Buttons buttons) {
    return Ui().MessageBox(text, String(IDS_TITLE), icon, buttons);
}

void CKelvixApp::ApplyIdCheckState(uint8_t srd1) {
    switch ((srd1 >> 2) & 0x03) {
        case 0x0:  // not yet verified
        case 0x1:  // did not match
            idVerified = 0;
            break;
        case 0x3:
            idVerified = 1;
            break;
        default:  // 10 has no meaning of its own
            break;
    }
}

}  // namespace kv
