#include "platform/platform.h"

#include <atomic>

namespace zk::platform {

namespace {
std::atomic<Platform*> g_installed{nullptr};
}

Platform& api() {
    Platform* p = g_installed.load(std::memory_order_acquire);
    return p ? *p : defaultPlatform();
}

Platform* install(Platform* p) { return g_installed.exchange(p, std::memory_order_acq_rel); }

void closeOwned(Platform* owner, HandleKind k, RawHandle h) noexcept { owner->closeHandle(k, h); }

}  // namespace zk::platform
