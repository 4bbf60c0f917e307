#pragma once
// The blocking waits of the machine's clock and serial device (protocol
// pauses, read time-outs) call a process-wide hook while they wait, so that a
// window front end on the same thread can keep its windows painted. The hook
// runs on whichever thread waits; of the user's input it may take only what
// starts no work of its own (a progress window's Cancel).
#include <cstdint>

namespace plat {

class IWaitHook {
public:
    virtual ~IWaitHook() = default;
    virtual void Waiting() = 0;
};

// nullptr removes the hook. The hook must stay valid until it is removed.
void SetWaitHook(IWaitHook* hook);
IWaitHook* WaitHook();

// With a hook set, a sleep calls it at least this often.
constexpr uint32_t kWaitHookSliceMs = 20;

}  // namespace plat
