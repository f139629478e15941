#pragma once
// The restore's single system-wide steps, each reporting through the restore log.

namespace zk::restore {

void releaseTimerResolution();
void restoreBalancedScheme();
void flushDnsCache();
// Calls the separate I/O tuner module's restore, when one can be found.
void restoreIoTunerPriorities();

}  // namespace zk::restore
