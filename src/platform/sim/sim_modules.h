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
    void* loadModuleFrom(platform::ModuleFolder folder, const char16_t* fileName) override;
    void* findLoadedModule(const char16_t* fileName) override;
    void* moduleExport(void* module, const char* name) override;

    // Module files by folder and lower-case file name (caller holds the lock).
    struct File {
        std::map<std::string, void*> exports;
        bool loaded = false;
    };
    std::map<std::pair<int, std::u16string>, File> files;

private:
    SimCore& core_;
};

}  // namespace zk::sim
