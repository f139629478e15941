#include "platform/sim/sim_modules.h"

#include <system_error>

namespace zk::sim {

void* SimModules::findOwnExport(const char* name) {
    std::lock_guard lk(core_.m);
    if (ownModuleMissing || !name) return nullptr;
    auto it = ownExports.find(name);
    return it == ownExports.end() ? nullptr : it->second;
}

bool SimModules::loadOwnModule() {
    if (core_.failsWin32(Op::LoadOwnModule)) return false;
    std::lock_guard lk(core_.m);
    return !ownModuleMissing;
}

bool SimModules::startModuleThread(std::function<void()> fn) {
    if (core_.failsWin32(Op::StartModuleThread)) return false;
    std::lock_guard lk(threadsLock_);
    ++running_;
    try {
        threads_.emplace_back([this, fn = std::move(fn)] {
            try {
                fn();
            } catch (...) {
            }
            --running_;
        });
    } catch (const std::system_error&) {
        --running_;
        lastError() = win::ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    return true;
}

void SimModules::joinThreads() {
    for (;;) {
        std::vector<std::thread> batch;
        {
            std::lock_guard lk(threadsLock_);
            batch.swap(threads_);
        }
        if (batch.empty()) return;
        for (std::thread& t : batch) {
            if (t.get_id() == std::this_thread::get_id()) {
                t.detach();  // ends on its own; the machine outlives it in every test
                continue;
            }
            if (t.joinable()) t.join();
        }
    }
}

}  // namespace zk::sim
