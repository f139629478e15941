#pragma once
// Soft demotion's process-wide state, shared by every engine.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "softdemote/process_name_cache.h"
#include "softdemote/softdemote_log.h"
#include "softdemote/system_cpu_sampler.h"

namespace zk::softdemote {

class SoftDemoteEngine;

// GetSystemInfo's processor count, read once by its first caller.
class ProcessorCount {
public:
    std::int32_t get();
    void reset();

private:
    std::mutex mutex_;
    std::atomic<bool> done_{false};
    std::int32_t value_ = 0;
};

// The engines the host holds, so that a handle it never had, or stopped already, is
// ignored instead of freed.
class EngineRegistry {
public:
    void add(SoftDemoteEngine* e);
    // Whether e was registered; it no longer is.
    bool take(SoftDemoteEngine* e);
    // Takes every engine (for the test reset).
    std::unordered_set<SoftDemoteEngine*> takeAll();

private:
    std::mutex mutex_;
    std::unordered_set<SoftDemoteEngine*> engines_;
};

struct SoftDemoteModule {
    ProcessorCount processors;
    ProcessNameCache names;
    SystemCpuSampler systemCpu;
    SoftDemoteLogger log;
    EngineRegistry engines;
};

SoftDemoteModule& module();
inline std::int32_t processorCount() { return module().processors.get(); }

}  // namespace zk::softdemote
