#pragma once
// The restore's single system-wide steps, each reporting through the restore log.

#include <span>

namespace zk::restore {

void releaseTimerResolution();
void restoreBalancedScheme();
void flushDnsCache();
// Calls the separate I/O tuner module's restore, when one can be found.
void restoreIoTunerPriorities();
// The file names that module is looked for under, in order.
std::span<const char16_t* const> ioTunerModuleNames();

}  // namespace zk::restore
