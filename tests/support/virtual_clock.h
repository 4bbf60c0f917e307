#pragma once
// Virtual time: sleeping advances the clock at once, so protocol tests with
// 5000 ms time-outs and 1000 ms pauses run in microseconds.
#include <cstdint>

#include "platform/clock.h"

namespace kvtest {

class VirtualClock : public plat::IClock {
public:
    explicit VirtualClock(uint64_t startMs = 1000) : now_(startMs) {}
    uint32_t TickMs() override { return static_cast<uint32_t>(now_); }
    void SleepMs(uint32_t ms) override { now_ += ms; }
    uint64_t Now() const { return now_; }
    void Advance(uint64_t ms) { now_ += ms; }
    void AdvanceTo(uint64_t t) {
        if (t > now_) now_ = t;
    }

private:
    uint64_t now_;
};

}  // namespace kvtest
