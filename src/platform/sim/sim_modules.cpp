#include "platform/sim/sim_modules.h"

namespace zk::sim {

void* SimModules::findOwnExport(const char* name) {
    std::lock_guard lk(core_.m);
    if (ownModuleMissing || !name) return nullptr;
    auto it = ownExports.find(name);
    return it == ownExports.end() ? nullptr : it->second;
}

bool SimModules::loadOwnModule() {
    std::lock_guard lk(core_.m);
    return !ownModuleMissing;
}

}  // namespace zk::sim
