#pragma once
// A serial device on virtual time. What the program writes is logged with its
// time and line settings and handed to a responder (a scripted reply, or the
// simulated chip); replies become readable at the time the responder names.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/serial_device.h"
#include "tests/support/virtual_clock.h"

namespace kvtest {

struct WireByte {
    uint8_t value;
    uint64_t timeMs;
    uint32_t baud;
};

class FakeSerialDevice : public plat::ISerialDevice {
public:
    using Responder = std::function<void(FakeSerialDevice&, const std::vector<uint8_t>&)>;
    // Lets a peer with its own timers (the simulated chip) send what falls due
    // up to `untilMs` before the program looks at its input or waits.
    using TimerHook = std::function<void(FakeSerialDevice&, uint64_t untilMs)>;

    explicit FakeSerialDevice(VirtualClock& clock) : clock_(clock) {}

    // Test controls.
    void SetResponder(Responder r) { responder_ = std::move(r); }
    void SetTimerHook(TimerHook h) { timerHook_ = std::move(h); }
    void Deliver(const std::vector<uint8_t>& bytes, uint64_t atMs);
    void DeliverNow(const std::vector<uint8_t>& bytes) { Deliver(bytes, clock_.Now()); }
    void InjectLineError() { pendingError_ = true; }
    void Unplug() { unplugged_ = true; }
    std::string GoneReason() const override { return unplugged_ ? "unplugged" : ""; }
    // `why` is what OpenError then tells.
    void FailOpen(bool fail, std::string why = "fake: refused") {
        failOpen_ = fail;
        openError_ = std::move(why);
    }
    void FailSetLine(bool fail) { failSetLine_ = fail; }
    // Makes Write return only once its bytes are on the wire (10 bits a
    // byte at the line's rate), as the real device does; off by default.
    void SetWriteWaitsForWire(bool on) { writeWaits_ = on; }

    const std::vector<WireByte>& Sent() const { return sent_; }
    std::vector<uint8_t> SentBytes() const;
    void ClearSent() { sent_.clear(); }
    const std::string& OpenedName() const { return openedName_; }
    const plat::LineSettings& Line() const { return line_; }
    VirtualClock& Clock() { return clock_; }
    size_t QueuedNow();  // replies already due
    int OpenCount() const { return openCount_; }

    // plat::ISerialDevice
    bool Open(const std::string& portName) override;
    bool Close() override;
    bool IsOpen() const override { return open_; }
    std::string OpenError() const override { return failOpen_ && !open_ ? openError_ : std::string(); }
    size_t Write(const uint8_t* data, size_t count) override;
    size_t ReadQueued(uint8_t* data, size_t count) override;
    bool Status(plat::QueueStatus& status) override;
    void PurgeInput() override;
    bool GetLine(plat::LineSettings& line) override;
    bool SetLine(const plat::LineSettings& line) override;
    bool RaiseDtr() override { return open_; }
    // Modem lines go to the line hook (a peer's reset and boot-mode inputs);
    // without one the device has none.
    using LineHook = std::function<void(FakeSerialDevice&, ModemLine, bool on)>;
    void SetLineHook(LineHook h) { lineHook_ = std::move(h); }
    bool SetModemLine(ModemLine line, bool on) override {
        if (!open_ || !lineHook_) return false;
        lineHook_(*this, line, on);
        return true;
    }
    void WaitForInput(uint32_t queued, uint32_t maxMs) override;

private:
    struct Pending {
        uint8_t value;
        uint64_t dueMs;
    };
    void MoveDue();

    VirtualClock& clock_;
    Responder responder_;
    TimerHook timerHook_;
    LineHook lineHook_;
    std::deque<Pending> inFlight_;
    std::deque<uint8_t> rx_;
    std::vector<WireByte> sent_;
    plat::LineSettings line_{9600, 8, 0, 0};
    std::string openedName_;
    bool open_ = false;
    bool pendingError_ = false;
    bool unplugged_ = false;
    bool failOpen_ = false;
    std::string openError_;
    bool failSetLine_ = false;
    bool writeWaits_ = false;
    int openCount_ = 0;
};

}  // namespace kvtest
