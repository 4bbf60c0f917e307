#pragma once
// Millisecond tick and sleep. Everything that pauses or times out takes an
// IClock, so protocol tests can run on virtual time.
#include <cstdint>
#include <memory>

namespace plat {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary origin; wraps like a 32-bit tick counter.
    virtual uint32_t TickMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The monotonic clock of the machine.
std::unique_ptr<IClock> MakeSystemClock();

}  // namespace plat
