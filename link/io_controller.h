#pragma once
// The byte channel to the target board. Synchronous, protocol-agnostic:
// writes blocks, reads exactly a requested count within a time-out, discards
// unread input, applies line settings.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial_device.h"

namespace kv {

class CIoState {
public:
    virtual ~CIoState() = default;
};

class CSerialCommState : public CIoState {
public:
    uint32_t m_nBaudRate = 0;
    uint8_t m_nByteSize = 0;
    uint8_t m_nParity = 0;    // 0 none, 1 odd, 2 even
    uint8_t m_nStopBits = 0;  // 0 one, 1 one and a half, 2 two
};

// Error flags handed to a watcher: a line error (framing, overrun, parity,
// break) or a device that went away.
constexpr uint32_t kCommLineError = 1;

// Watcher callback: (user data, error flags).
using CommEventCallback = void (*)(void* userData, uint32_t errorFlags);

class CIoController {
public:
    explicit CIoController(std::unique_ptr<plat::ISerialDevice> device);
    virtual ~CIoController();
    CIoController(const CIoController&) = delete;
    CIoController& operator=(const CIoController&) = delete;

    virtual int Open(const std::string& portName);
    virtual int Close();
    virtual int IsOpen() const;
    virtual int Write(const void* buffer, uint32_t count) = 0;
    virtual int Read(void* buffer, uint32_t count) = 0;
    virtual int SetTimeout(uint32_t ms) = 0;
    virtual int SetState(const CIoState& state) = 0;
    virtual int GetState(CIoState& state) = 0;
    virtual int Purge() = 0;
    virtual int StartWatch(CommEventCallback callback, void* userData, uint32_t threshold) = 0;
    virtual int StopWatch() = 0;

    const std::string& PortName() const { return m_strPort; }
    // Why the last Open failed (the device, the system's reason, a hint).
    std::string OpenError() const { return m_hPort ? m_hPort->OpenError() : std::string(); }
    // One modem line of the open port; false when it has none or is closed.
    bool SetModemLine(plat::ISerialDevice::ModemLine line, bool on) {
        return m_hPort && m_hPort->IsOpen() && m_hPort->SetModemLine(line, on);
    }

protected:
    // The device behind the channel; "the port handle" is valid while it is open.
    std::unique_ptr<plat::ISerialDevice> m_hPort;
    std::string m_strPort;
};

}  // namespace kv
