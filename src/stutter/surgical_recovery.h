#pragma once
// The first step of a hard recovery with an offender: confine it to the last processor
// (L1), drop it to idle priority (L2), empty its working set (L3), as one transaction
// that puts affinity and priority back when L1 or L2 fails.

#include <cstdint>

#include "stutter/recovery_records.h"
#include "zelkor.h"

namespace zk::stutter {

// 2 when the transaction ran (committed or rolled back); 0 when it was refused or the
// process could not be opened.
std::int32_t surgicalHard(const StutterContext& ctx, const OffenderInfo& offender, std::int32_t score,
                          double ramPct, const QtmRecoveryConfig& config);

}  // namespace zk::stutter
