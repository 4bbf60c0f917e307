#include "tests/support/fake_serial_device.h"

#include <algorithm>

namespace kvtest {

void FakeSerialDevice::Deliver(const std::vector<uint8_t>& bytes, uint64_t atMs) {
    // Keep arrival order: nothing overtakes a byte already in flight.
    if (!inFlight_.empty()) atMs = std::max(atMs, inFlight_.back().dueMs);
    for (uint8_t b : bytes) inFlight_.push_back({b, atMs});
}

std::vector<uint8_t> FakeSerialDevice::SentBytes() const {
    std::vector<uint8_t> out;
    out.reserve(sent_.size());
    for (const auto& w : sent_) out.push_back(w.value);
    return out;
}

size_t FakeSerialDevice::QueuedNow() {
    MoveDue();
    return rx_.size();
}

bool FakeSerialDevice::Open(const std::string& portName) {
    if (open_ || failOpen_ || unplugged_) return false;
    open_ = true;
    openedName_ = portName;
    ++openCount_;
    return true;
}

bool FakeSerialDevice::Close() {
    open_ = false;
    return true;
}

size_t FakeSerialDevice::Write(const uint8_t* data, size_t count) {
    if (!open_ || unplugged_) return 0;
    std::vector<uint8_t> block(data, data + count);
    for (uint8_t b : block) sent_.push_back({b, clock_.Now(), line_.baud});
    if (responder_) responder_(*this, block);
    if (writeWaits_ && line_.baud > 0) clock_.Advance((count * 10 * 1000 + line_.baud - 1) / line_.baud);
    return count;
}

void FakeSerialDevice::MoveDue() {
    if (timerHook_) timerHook_(*this, clock_.Now());
    while (!inFlight_.empty() && inFlight_.front().dueMs <= clock_.Now()) {
        rx_.push_back(inFlight_.front().value);
        inFlight_.pop_front();
    }
}

size_t FakeSerialDevice::ReadQueued(uint8_t* data, size_t count) {
    if (!open_) return 0;
    MoveDue();
    size_t n = std::min(count, rx_.size());
    for (size_t i = 0; i < n; ++i) {
        data[i] = rx_.front();
        rx_.pop_front();
    }
    return n;
}

bool FakeSerialDevice::Status(plat::QueueStatus& status) {
    if (!open_) return false;
    MoveDue();
    status.queued = static_cast<uint32_t>(rx_.size());
    status.lineError = pendingError_ || unplugged_;
    status.gone = unplugged_;
    pendingError_ = false;
    return true;
}

void FakeSerialDevice::PurgeInput() {
    MoveDue();
    rx_.clear();
    pendingError_ = false;
}

bool FakeSerialDevice::GetLine(plat::LineSettings& line) {
    if (!open_) return false;
    line = line_;
    return true;
}

bool FakeSerialDevice::SetLine(const plat::LineSettings& line) {
    if (!open_ || failSetLine_) return false;
    line_ = line;
    return true;
}

void FakeSerialDevice::WaitForInput(uint32_t /*queued*/, uint32_t maxMs) {
    uint64_t limit = clock_.Now() + maxMs;
    if (timerHook_) {
        // Nothing can be written while the program waits, so the peer's timers
        // may run up to the first byte already on its way, or the limit.
        uint64_t until = limit;
        if (!inFlight_.empty() && inFlight_.front().dueMs > clock_.Now())
            until = std::min(until, inFlight_.front().dueMs);
        timerHook_(*this, until);
    }
    if (!inFlight_.empty() && inFlight_.front().dueMs > clock_.Now() && inFlight_.front().dueMs < limit)
        clock_.AdvanceTo(inFlight_.front().dueMs);
    else
        clock_.AdvanceTo(limit);
}

}  // namespace kvtest
