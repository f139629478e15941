#include "platform/service_wait.h"

#include "platform/platform.h"

namespace zk::platform {

bool waitForServiceState(const ServiceHandle& service, std::uint32_t wanted, std::uint32_t limitMs) {
    Clocks& clock = clocks();
    const std::uint64_t start = clock.tickCount64();
    for (;;) {
        ServiceStatus st{};
        if (!api().services().queryServiceStatus(service, st)) return false;
        if (st.currentState == wanted) return true;
        if (clock.tickCount64() - start >= limitMs) return false;
        clock.sleepMs(kServicePollMs);
    }
}

}  // namespace zk::platform
