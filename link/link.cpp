#include "link/link.h"

namespace kv {

CLink::CLink(Edition edition, plat::IClock& clock, ILinkSettings& settings, std::unique_ptr<plat::ISerialDevice> device,
             CLinkUser& user)
    : edition_(edition),
      clock_(clock),
      settings_(settings),
      user_(user),
      transport_(edition == Edition::Kelvlite ? MakeSequencerTransport(*this) : MakeDirectTransport(*this)),
      channel_(std::move(device), clock) {}

CLink::~CLink() = default;

void CLink::ApplyIdCheckState(uint8_t srd1) {
    switch (IdStateOf(srd1)) {
        case IdState::NotYet:
        case IdState::NoMatch: idVerified = 0; break;
        case IdState::Verified: idVerified = 1; break;
        case IdState::Undefined:  // no meaning of its own
            break;
    }
}

int CLink::ApplyLineSettings(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits) {
    CSerialCommState state;
    state.m_nBaudRate = baud;
    state.m_nByteSize = byteSize;
    state.m_nParity = parity;
    state.m_nStopBits = stopBits;
    return channel_.SetState(state);
}

}  // namespace kv
