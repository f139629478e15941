#include "softdemote/softdemote_module.h"

#include "common/reset_registry.h"
#include "platform/platform.h"
#include "softdemote/soft_demote_engine.h"

namespace zk::softdemote {

std::int32_t ProcessorCount::get() {
    if (done_.load(std::memory_order_acquire)) return value_;
    std::lock_guard lk(mutex_);
    if (!done_.load(std::memory_order_relaxed)) {
        value_ = static_cast<std::int32_t>(platform::system().logicalProcessorCount());
        done_.store(true, std::memory_order_release);
    }
    return value_;
}

void ProcessorCount::reset() {
    std::lock_guard lk(mutex_);
    value_ = 0;
    done_.store(false);
}

void EngineRegistry::add(SoftDemoteEngine* e) {
    std::lock_guard lk(mutex_);
    engines_.insert(e);
}

bool EngineRegistry::take(SoftDemoteEngine* e) {
    std::lock_guard lk(mutex_);
    return engines_.erase(e) != 0;
}

std::unordered_set<SoftDemoteEngine*> EngineRegistry::takeAll() {
    std::lock_guard lk(mutex_);
    return std::exchange(engines_, {});
}

SoftDemoteModule& module() {
    static SoftDemoteModule m;
    return m;
}

#if !defined(ZELKOR_TEST_RESETS)
// The library reads the processor count once as it loads (GetSystemInfo is safe there);
// tests read it at the first engine, after they have set up their machine.
namespace {
const std::int32_t kProcessorsAtLoad = module().processors.get();
}  // namespace
#endif

ZK_REGISTER_TEST_RESET([] {
    SoftDemoteModule& m = module();
    for (SoftDemoteEngine* e : m.engines.takeAll()) delete e;
    m.log.setCallback(nullptr);
    m.names.clear();
    m.systemCpu.reset();
    m.processors.reset();
})

}  // namespace zk::softdemote
