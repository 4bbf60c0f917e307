#include <cerrno>
#include <ctime>

#include "platform/clock.h"

namespace plat {
namespace {

class SystemClock final : public IClock {
public:
    uint32_t TickMs() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        // Truncation is intended: callers compare ticks with unsigned wrap-around.
        uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }

    void SleepMs(uint32_t ms) override {
        timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
        // A signal handler may cut the sleep short; sleep the rest.
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

std::unique_ptr<IClock> MakeSystemClock() { return std::make_unique<SystemClock>(); }

}  // namespace plat
