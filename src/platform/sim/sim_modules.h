#pragma once
// The simulated machine's modules: routines a test may hide, and the library's own
// export table.

#include <map>
#include <string>

#include "platform/sim/sim_core.h"

namespace zk::sim {

class SimModules final : public platform::Modules {
public:
    explicit SimModules(SimCore& core) : core_(core) {}

    // The machine's side (caller holds the core lock).
    std::map<std::string, void*> ownExports;
    bool ownModuleMissing = false;

    bool hasRoutine(Routine r) override { return !core_.hidden(r); }
    void* findOwnExport(const char* name) override;
    bool loadOwnModule() override;

private:
    SimCore& core_;
};

}  // namespace zk::sim
