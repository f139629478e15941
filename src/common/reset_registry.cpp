#include "common/reset_registry.h"

#include <mutex>
#include <vector>

namespace zk::common {

namespace {

struct Registry {
    std::mutex m;
    std::vector<ResetFn> resets;
};

Registry& registry() {
    static Registry* r = new Registry();  // outlives every static that registers
    return *r;
}

}  // namespace

RegisteredReset::RegisteredReset(ResetFn fn) {
    Registry& r = registry();
    std::lock_guard lk(r.m);
    r.resets.push_back(fn);
}

void resetAllModules() {
    Registry& r = registry();
    std::vector<ResetFn> resets;
    {
        std::lock_guard lk(r.m);
        resets = r.resets;
    }
    for (ResetFn fn : resets) fn();
}

}  // namespace zk::common
