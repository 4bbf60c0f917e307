#include "link/link.h"

#include "res/strings.h"

namespace kv {

CLink::CLink(Edition edition, plat::IClock& clock, plat::IProfile& profile,
             std::unique_ptr<plat::ISerialDevice> device, CLinkUser& user)
    : edition_(edition), clock_(clock), profile_(profile), user_(user), channel_(std::move(device), clock) {}

CLink::~CLink() = default;

std::string CLink::String(int id) const { return LoadString(edition_, id); }

void CLink::ApplyIdCheckState(uint8_t srd1) {
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
