#pragma once
// Putting another process into the background.
//
// Background mode (SetPriorityClass with PROCESS_MODE_BACKGROUND_BEGIN) applies only to
// the calling process: Windows refuses it for any other (87). Its effect is reached with
// the calls that are valid on another process: the idle priority class, which decides
// success, then very low I/O and memory priority. The idle class is stronger than
// background mode: children started later inherit it, and its threads run only when
// nothing else wants the processor.

#include <cstdint>

#include "platform/handles.h"

namespace zk::softdemote {

// Whether the process is critical (break-on-termination set): one the system cannot lose,
// never demoted, since starving it can stall the whole machine. The handle needs a query
// right; a query that fails (Wine answers none) counts as not critical.
bool IsCriticalProcess(const platform::ProcessHandle& process);

// The handle needs PROCESS_SET_INFORMATION. Access denied is silent; any other refusal of
// the priority class is logged and stops there. The I/O and memory steps are silent.
void DemoteProcess(const platform::ProcessHandle& process, std::uint32_t pid);

}  // namespace zk::softdemote
