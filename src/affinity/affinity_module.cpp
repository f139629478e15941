#include "affinity/affinity_module.h"

#include "common/reset_registry.h"

namespace zk::affinity {

AffinityModule& affinity() {
    static AffinityModule instance;
    return instance;
}

void AffinityModule::resetForTests() {
    monitor.stopAll();
    log.setCallback(nullptr);
    log.setMinLevel(kDebug);
    limiter.clear();
    state.setSettings(AffinitySettings{});
    state.ClearInverseState();
    metrics.reset();
    events.clear();
    verdicts.clear();
    coreCount.store(0, std::memory_order_relaxed);
}

ZK_REGISTER_TEST_RESET([] { affinity().resetForTests(); })

}  // namespace zk::affinity
