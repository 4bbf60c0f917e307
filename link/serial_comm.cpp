#include "link/serial_comm.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

namespace kv {

namespace {
// Longest single wait of a read or of the watcher: short enough that a
// stop request or a time-out is seen promptly, long enough not to burn CPU.
constexpr uint32_t kSliceMs = 10;
}  // namespace

CSerialComm::CSerialComm(std::unique_ptr<plat::ISerialDevice> device, plat::IClock& clock)
    : CIoController(std::move(device)), clock_(clock) {}

CSerialComm::~CSerialComm() {
    // A joinable thread must not be destroyed, and the watcher uses the device.
    StopWatch();
    CIoController::Close();
}

int CSerialComm::Open(const std::string& portName) {
    if (!CIoController::Open(portName)) return 0;
    m_hPort->RaiseDtr();  // boards without modem lines are fine
    return 1;
}

int CSerialComm::Write(const void* buffer, uint32_t count) {
    if (!IsOpen()) return 0;
    return static_cast<int>(m_hPort->Write(static_cast<const uint8_t*>(buffer), count));
}

int CSerialComm::Read(void* buffer, uint32_t count) {
    m_bTimedOut = 0;
    m_strGone.clear();
    const uint32_t start = clock_.TickMs();
    if (!m_hPort) return 0;

    plat::LineSettings line;
    const uint32_t baud = m_hPort->GetLine(line) ? line.baud : 0;
    // Whole milliseconds that `bytes` take on the wire, 10 bits a byte.
    auto WireTimeMs = [baud](uint32_t bytes) {
        return baud == 0 ? 0u : static_cast<uint32_t>(uint64_t{bytes} * 10000u / baud);
    };
    // A port across the network adds its round trip to every reply.
    const uint32_t timeout = m_nTimeout == 0 ? 0 : m_nTimeout + m_hPort->RoundTripMs();
    uint32_t lastQueued = 0;
    for (;;) {
        plat::QueueStatus status;
        if (!m_hPort->Status(status) || status.lineError) {
            if (status.gone) m_strGone = m_hPort->GoneReason();
            return 0;
        }
        if (status.queued >= count) {
            // The bytes go to a scratch block first so that a failed read
            // leaves the caller's buffer as it was.
            std::vector<uint8_t> got(count);
            uint32_t have = 0;
            while (have < count) {
                const size_t n = m_hPort->ReadQueued(got.data() + have, count - have);
                if (n == 0) return 0;
                have += static_cast<uint32_t>(n);
            }
            if (count != 0) std::memcpy(buffer, got.data(), count);
            return static_cast<int>(count);
        }
        // Unsigned difference: correct across the tick counter's wrap-around.
        const uint32_t elapsed = clock_.TickMs() - start;
        uint32_t wait = kSliceMs;
        if (timeout != 0) {
            if (elapsed > timeout) {
                m_bTimedOut = 1;  // a partial reply stays queued for the next purge
                return 0;
            }
            // +1: the read gives up only once the time-out has fully passed.
            wait = std::min(wait, timeout - elapsed + 1);
        }
        const uint32_t restMs = WireTimeMs(count - status.queued);
        if (status.queued == 0) {
            m_hPort->WaitForInput(0, wait);
        } else if (status.queued != lastQueued && restMs > 1) {
            // A reply that has begun comes in at the line's pace: sleep until
            // shortly before the rest should be in rather than waking for every byte.
            clock_.SleepMs(std::min(wait, restMs - 1));
        } else if (m_hPort->WaitForCount(count, status.queued, wait)) {
            // The device woke us when the reply was complete (or the slice ended).
        } else if (status.queued != lastQueued) {
            clock_.SleepMs(std::min(wait, 1u));
        } else {
            // A reply that stopped half-way: look again a slice later.
            clock_.SleepMs(wait);
        }
        lastQueued = status.queued;
    }
}

bool CSerialComm::QuietAfterReply() {
    if (!m_hPort) return false;
    plat::LineSettings line;
    const uint32_t baud = m_hPort->GetLine(line) && line.baud ? line.baud : 9600;
    const uint32_t waitMs = 2 * 10000 / baud + 1;
    plat::QueueStatus status;
    if (!m_hPort->Status(status) || status.lineError) return false;
    if (status.queued != 0) return false;
    m_hPort->WaitForInput(0, waitMs);
    return m_hPort->Status(status) && !status.lineError && status.queued == 0;
}

int CSerialComm::SetTimeout(uint32_t ms) {
    // The device never blocks on a read, so only the channel's own limit matters.
    m_nTimeout = ms;
    return 1;
}

int CSerialComm::SetState(const CIoState& state) {
    const auto* serial = dynamic_cast<const CSerialCommState*>(&state);
    if (!serial || !IsOpen()) return 0;
    plat::LineSettings line;
    if (!m_hPort->GetLine(line)) return 0;
    line.baud = serial->m_nBaudRate;
    line.byteSize = serial->m_nByteSize;
    line.parity = serial->m_nParity;
    line.stopBits = serial->m_nStopBits;
    return m_hPort->SetLine(line) ? 1 : 0;
}

int CSerialComm::GetState(CIoState& state) {
    auto* serial = dynamic_cast<CSerialCommState*>(&state);
    if (!serial) return 0;
    plat::LineSettings line;
    if (!IsOpen() || !m_hPort->GetLine(line)) {
        serial->m_nBaudRate = 0;
        serial->m_nByteSize = 0;
        serial->m_nParity = 0;
        serial->m_nStopBits = 0;
        return 0;
    }
    serial->m_nBaudRate = line.baud;
    serial->m_nByteSize = line.byteSize;
    serial->m_nParity = line.parity;
    serial->m_nStopBits = line.stopBits;
    return 1;
}

int CSerialComm::Purge() {
    if (IsOpen()) m_hPort->PurgeInput();
    return 0;
}

int CSerialComm::StartWatch(CommEventCallback callback, void* userData, uint32_t threshold) {
    if (m_bWatchIdle.load() == 0) return 0;
    if (m_hWatchThread.joinable()) m_hWatchThread.join();
    m_bWatchIdle = 0;
    try {
        m_hWatchThread = std::thread(&CSerialComm::WatchLoop, this, callback, userData, threshold);
    } catch (const std::system_error&) {
        m_bWatchIdle = 1;
        return 0;
    }
    return 1;
}

int CSerialComm::StopWatch() {
    m_bWatchIdle = 1;
    if (!m_hWatchThread.joinable()) return 1;
    try {
        m_hWatchThread.join();
    } catch (const std::system_error&) {
        m_bWatchIdle = 0;
        return 0;
    }
    return 1;
}

void CSerialComm::OnCommEvent(void* /*userData*/, uint32_t /*errorFlags*/) {}

void CSerialComm::WatchLoop(CommEventCallback callback, void* userData, uint32_t threshold) {
    while (m_bWatchIdle.load() == 0) {
        plat::QueueStatus status;
        if (!m_hPort->Status(status)) {
            clock_.SleepMs(kSliceMs);  // closed under the watcher: idle until stopped
            continue;
        }
        if (status.lineError || status.queued >= threshold) {
            const uint32_t flags = status.lineError ? kCommLineError : 0;
            if (callback)
                callback(userData, flags);
            else
                OnCommEvent(userData, flags);
            // A handler that leaves the bytes queued is called again after
            // the next slice rather than in a tight loop.
        }
        m_hPort->WaitForInput(status.queued, kSliceMs);
    }
}

}  // namespace kv
