#include "link/link.h"

namespace kv {

uint8_t CLink::BaudRateCode(uint32_t baud) {
    switch (baud) {
        case 9600: return 0xB0;
        case 19200: return 0xB1;
        case 38400: return 0xB2;
        case 57600: return 0xB3;
        case 115200: return 0xB4;
        default: return 0x00;
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
