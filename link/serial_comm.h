#pragma once
// The serial channel: reads wait for an exact count with a time-out measured
// from the start of the read, without spinning.
#include <atomic>
#include <thread>

#include "link/io_controller.h"
#include "platform/clock.h"

namespace kv {

class CSerialComm : public CIoController {
public:
    CSerialComm(std::unique_ptr<plat::ISerialDevice> device, plat::IClock& clock);
    ~CSerialComm() override;

    int Open(const std::string& portName) override;
    int Write(const void* buffer, uint32_t count) override;
    int Read(void* buffer, uint32_t count) override;
    int SetTimeout(uint32_t ms) override;
    int SetState(const CIoState& state) override;
    int GetState(CIoState& state) override;
    int Purge() override;
    int StartWatch(CommEventCallback callback, void* userData, uint32_t threshold) override;
    int StopWatch() override;
    virtual void OnCommEvent(void* userData, uint32_t errorFlags);

    // After a reply of the expected length: true when no further byte comes
    // within the time of two more at the line's rate (and a millisecond), so
    // that a reply with a byte too many is not taken for a good one.
    bool QuietAfterReply();

    uint32_t Timeout() const { return m_nTimeout; }
    bool TimedOut() const { return m_bTimedOut != 0; }
    // The device went away during the last read (unplugged, hung up): the
    // system's reason, or empty.
    const std::string& GoneReason() const { return m_strGone; }

private:
    void WatchLoop(CommEventCallback callback, void* userData, uint32_t threshold);

    plat::IClock& clock_;
    std::thread m_hWatchThread;
    uint32_t m_nTimeout = 0;
    int m_bTimedOut = 0;
    std::string m_strGone;
    std::atomic<int> m_bWatchIdle{1};
};

}  // namespace kv
