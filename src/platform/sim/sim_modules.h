#pragma once
// The simulated machine's modules: routines a test may hide, the library's own export
// table, and the library's detached threads, which the machine joins before it goes.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/sim_core.h"

namespace zk::sim {

class SimModules final : public platform::Modules {
public:
    explicit SimModules(SimCore& core) : core_(core) {}
    ~SimModules() override { joinThreads(); }

    // The machine's side (caller holds the core lock).
    std::map<std::string, void*> ownExports;
    bool ownModuleMissing = false;

    bool hasRoutine(Routine r) override { return !core_.hidden(r); }
    void* findOwnExport(const char* name) override;
    bool loadOwnModule() override;
    bool startModuleThread(std::function<void()> fn) override;

    // Waits for every module thread to end, those they start included; a module thread
    // calling it skips itself. Call without holding the core lock.
    void joinThreads();
    std::size_t threadsRunning() const { return running_.load(); }

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
    std::mutex threadsLock_;
    std::vector<std::thread> threads_;
    std::atomic<std::size_t> running_{0};
};

}  // namespace zk::sim
