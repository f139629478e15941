#pragma once
// Decides, for one detected stutter, whether to act, softly or hard, and against what;
// then acts through the surgical transaction and the bound action exports.

#include <cstdint>
#include <mutex>

#include "stutter/recovery_records.h"
#include "zelkor.h"

namespace zk::stutter {

// Non-finite figures count as 0; a load factor that is not finite or not above 0 as 1.0.
StutterContext sanitise(const StutterContext& ctx);
// Integer recovery points of a sanitised context.
std::int32_t recoveryScore(const StutterContext& ctx);

class RecoveryEngine {
public:
    // 0 nothing done, 1 soft recovery, 2 hard recovery. offender may be null.
    std::int32_t recover(const StutterContext& ctx, const OffenderInfo* offender);

    void resetForTests();

private:
    // Global cooldowns: both stamps checked and one of them stamped in one step, so that
    // two concurrent stutters cannot both pass, and a soft recovery admitted meanwhile
    // cannot slip between a hard one's look at the soft stamp and its own stamp.
    bool admit(bool hard, double now, const QtmRecoveryConfig& cfg);

    std::mutex admitMutex_;
    double lastSoft_ = 0.0;
    double lastHard_ = 0.0;
};

RecoveryEngine& recoveryEngine();

}  // namespace zk::stutter
