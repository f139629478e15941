#pragma once
// The I/O tuner's process-wide state: one object, created on first use and never
// destroyed; each part keeps its own lock beside its data.

#include "iotuner/tuner/game_rate_limit.h"
#include "iotuner/tuner/priority_records.h"
#include "iotuner/tuner/tuner_log.h"
#include "iotuner/tuner/tuner_privileges.h"
#include "iotuner/tuner/tuner_routines.h"
#include "platform/win_constants.h"

namespace zk::iotuner {

// The rights every process is opened with to lower or restore it.
inline constexpr std::uint32_t kTunerAccess = win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_SET_INFORMATION;

class IoTuner {
public:
    TunerLogger log;
    PriorityRecords records;
    GameRateLimit rateLimit;
    TunerRoutines routines;
    TunerPrivileges privileges;

    // Tests only: forget everything learned since load (log settings stay).
    void resetForTests();
};

IoTuner& tuner();

}  // namespace zk::iotuner
