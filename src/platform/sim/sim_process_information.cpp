#include <cstring>

#include "platform/sim/sim_processes.h"

namespace zk::sim {

bool SimProcesses::setProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, const void* buffer,
                                         std::uint32_t size) {
    if (core_.missing(Routine::SetProcessInformation)) return false;
    if (core_.failsWin32(Op::SetProcessInformation)) return false;
    std::lock_guard lk(core_.m);
    SimProcess* p = target(process, win::PROCESS_SET_INFORMATION);
    if (!p) return false;
    std::uint32_t value = 0;
    // MEMORY_PRIORITY_INFORMATION: one ULONG, very low (1) to normal (5).
    if (infoClass != win::ProcessMemoryPriority || size != sizeof value || !buffer) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    std::memcpy(&value, buffer, sizeof value);
    if (value < win::MEMORY_PRIORITY_VERY_LOW || value > win::MEMORY_PRIORITY_NORMAL) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    p->memoryPriority = value;
    core_.record("SetProcessInformation " + std::to_string(p->pid) + " memory priority " + std::to_string(value));
    return true;
}

}  // namespace zk::sim
