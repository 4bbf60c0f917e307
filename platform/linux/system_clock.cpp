#include <cerrno>
#include <ctime>

#include <algorithm>

#include "platform/clock.h"
#include "platform/wait_hook.h"

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
        IWaitHook* hook = WaitHook();
        if (!hook) {
            Sleep(ms);
            return;
        }
        // In slices, with the hook between them; the time the hook takes
        // counts towards the pause.
        const uint32_t start = TickMs();
        for (;;) {
            hook->Waiting();
            const uint32_t spent = TickMs() - start;
            if (spent >= ms) return;
            Sleep(std::min(ms - spent, kWaitHookSliceMs));
        }
    }

private:
    static void Sleep(uint32_t ms) {
        timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
        // A signal handler may cut the sleep short; sleep the rest.
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {}
    }
};

}  // namespace

std::unique_ptr<IClock> MakeSystemClock() { return std::make_unique<SystemClock>(); }

}  // namespace plat
