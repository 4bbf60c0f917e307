#include "platform/wait_hook.h"

#include <atomic>

namespace plat {

namespace {
std::atomic<IWaitHook*> g_hook{nullptr};
}  // namespace

void SetWaitHook(IWaitHook* hook) { g_hook.store(hook); }

IWaitHook* WaitHook() { return g_hook.load(); }

}  // namespace plat
