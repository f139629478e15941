// Which rights OpenProcess grants, as Microsoft documents it ("OpenProcess" and "Process
// Security and Access Rights").

#include "platform/sim/sim_processes.h"

namespace zk::sim {

namespace {

// "Protected Processes": the standard rights DELETE, READ_CONTROL, WRITE_DAC and
// WRITE_OWNER, and the process rights ALL_ACCESS, CREATE_PROCESS, CREATE_THREAD,
// DUP_HANDLE, QUERY_INFORMATION, SET_INFORMATION, SET_QUOTA, VM_OPERATION, VM_READ and
// VM_WRITE are not allowed from a process to a protected one. The rest still open:
// QUERY_LIMITED_INFORMATION, SET_LIMITED_INFORMATION, SUSPEND_RESUME, TERMINATE and
// SYNCHRONIZE.
constexpr std::uint32_t kStandardRefused = 0x00010000 | 0x00020000 | 0x00040000 | 0x00080000;
constexpr std::uint32_t kProcessRefused = 0x0080 | 0x0002 | 0x0040 | win::PROCESS_QUERY_INFORMATION |
                                          win::PROCESS_SET_INFORMATION | win::PROCESS_SET_QUOTA | 0x0008 |
                                          win::PROCESS_VM_READ | 0x0020;
constexpr std::uint32_t kRefusedForProtected = kStandardRefused | kProcessRefused;

}  // namespace

std::uint32_t openProcessRefusal(std::uint32_t pid, const SimProcess* p, std::uint32_t access, bool debugPrivilege) {
    // The System Idle Process (0): ERROR_INVALID_PARAMETER. An id no process has: the
    // documentation is silent; Windows answers ERROR_INVALID_PARAMETER, and so does this.
    if (pid == 0) return win::ERROR_INVALID_PARAMETER;
    // The System process and the CSRSS processes: ERROR_ACCESS_DENIED, "because their
    // access restrictions prevent user-level code from opening them", whatever is asked.
    if (pid == win::kSystemPid || (p && p->systemProcess)) return win::ERROR_ACCESS_DENIED;
    if (!p) return win::ERROR_INVALID_PARAMETER;
    // A protected process refuses its rights to everyone, SeDebugPrivilege or not.
    if (p->isProtected() && (access & kRefusedForProtected)) return win::ERROR_ACCESS_DENIED;
    // "If the caller has enabled the SeDebugPrivilege privilege, the requested access is
    // granted regardless of the contents of the security descriptor."
    if ((access & p->deniedAccess) && !debugPrivilege) return win::ERROR_ACCESS_DENIED;
    return 0;
}

}  // namespace zk::sim
