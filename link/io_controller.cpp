#include "link/io_controller.h"

namespace kv {

CIoController::CIoController(std::unique_ptr<plat::ISerialDevice> device) : m_hPort(std::move(device)) {}

CIoController::~CIoController() { CIoController::Close(); }

int CIoController::Open(const std::string& portName) {
    if (!m_hPort || !m_hPort->Open(portName)) return 0;
    m_strPort = portName;
    return 1;
}

int CIoController::Close() {
    if (!IsOpen()) return 1;
    if (!m_hPort->Close()) return 0;
    m_strPort.clear();
    return 1;
}

int CIoController::IsOpen() const { return m_hPort && m_hPort->IsOpen() ? 1 : 0; }

}  // namespace kv
