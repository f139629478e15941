#pragma once
// The run-time routines the tuner needs (the native I/O priority pair and the WOW64
// test), looked up once at first use and remembered even when missing.

#include <cstdint>
#include <mutex>

#include "platform/handles.h"

namespace zk::iotuner {

struct RoutineSet {
    bool ntSetInformationProcess = false;
    bool ntQueryInformationProcess = false;
    bool isWow64Process = false;
};

class TunerRoutines {
public:
    // The first call looks the routines up and logs each missing native routine once.
    RoutineSet resolve();
    void reset();

private:
    std::mutex mutex_;
    bool resolved_ = false;
    RoutineSet set_;
};

// True only when IsWow64Process exists, succeeds and says so; otherwise the process
// counts as native.
bool RunsUnderWow64(const RoutineSet& routines, const platform::ProcessHandle& process);

}  // namespace zk::iotuner
