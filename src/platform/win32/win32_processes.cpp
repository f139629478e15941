#include "platform/win32/win32_areas.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <system_error>

#include "platform/win32/wine_process_times.h"

namespace zk::platform::win32 {

namespace {

void copyEntry(const PROCESSENTRY32W& in, ProcessEntry& out) {
    out.pid = in.th32ProcessID;
    out.parentPid = in.th32ParentProcessID;
    out.threadCount = in.cntThreads;
    out.basePriority = in.pcPriClassBase;
    static_assert(sizeof(in.szExeFile) == sizeof(out.exeFile), "same name buffer");
    std::memcpy(out.exeFile, in.szExeFile, sizeof out.exeFile);
}

}  // namespace

std::uint32_t Win32Processes::currentProcessId() { return GetCurrentProcessId(); }

SnapshotHandle Win32Processes::createProcessSnapshot() {
    return SnapshotHandle(&owner_, fromHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)));
}

namespace {

bool row(BOOL(WINAPI* step)(HANDLE, LPPROCESSENTRY32W), const SnapshotHandle& snapshot, ProcessEntry& out) {
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    if (!step(toHandle(snapshot), &e)) return false;
    copyEntry(e, out);
    return true;
}

}  // namespace

bool Win32Processes::processFirst(const SnapshotHandle& snapshot, ProcessEntry& out) {
    return row(Process32FirstW, snapshot, out);
}

bool Win32Processes::processNext(const SnapshotHandle& snapshot, ProcessEntry& out) {
    return row(Process32NextW, snapshot, out);
}

ProcessHandle Win32Processes::openProcess(std::uint32_t access, bool inherit, std::uint32_t pid) {
    return ProcessHandle(&owner_, fromHandle(OpenProcess(access, inherit ? TRUE : FALSE, pid)));
}

bool Win32Processes::getProcessMemoryInfo(const ProcessHandle& process, MemoryCounters& out) {
    PROCESS_MEMORY_COUNTERS_EX c{};
    c.cb = sizeof c;
    if (!K32GetProcessMemoryInfo(toHandle(process), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof c))
        return false;
    out.pageFaultCount = c.PageFaultCount;
    out.peakWorkingSetSize = c.PeakWorkingSetSize;
    out.workingSetSize = c.WorkingSetSize;
    out.pagefileUsage = c.PagefileUsage;
    out.peakPagefileUsage = c.PeakPagefileUsage;
    out.privateUsage = c.PrivateUsage;
    return true;
}

bool Win32Processes::getProcessTimes(const ProcessHandle& process, ProcessTimes& out) {
    FILETIME c, e, k, u;
    if (!GetProcessTimes(toHandle(process), &c, &e, &k, &u)) return false;
    ProcessTimes t{fileTime(c), fileTime(e), fileTime(k), fileTime(u)};
    // Wine compatibility shim: there, another process's CPU times come from the system
    // process list (wine_process_times.cpp).
    if (runningUnderWine()) {
        const DWORD pid = GetProcessId(toHandle(process));
        if (pid != 0 && pid != GetCurrentProcessId() && !systemListProcessTimes(pid, t.kernel, t.user)) return false;
    }
    out = t;
    return true;
}

bool Win32Processes::getProcessIoCounters(const ProcessHandle& process, IoCounters& out) {
    IO_COUNTERS c{};
    if (!GetProcessIoCounters(toHandle(process), &c)) return false;
    out.readOperations = c.ReadOperationCount;
    out.writeOperations = c.WriteOperationCount;
    out.otherOperations = c.OtherOperationCount;
    out.readTransfer = c.ReadTransferCount;
    out.writeTransfer = c.WriteTransferCount;
    out.otherTransfer = c.OtherTransferCount;
    return true;
}

std::uint32_t Win32Processes::getPriorityClass(const ProcessHandle& process) {
    return GetPriorityClass(toHandle(process));
}

bool Win32Processes::getProcessAffinityMask(const ProcessHandle& process, std::uint64_t& processMask,
                                            std::uint64_t& systemMask) {
    DWORD_PTR p = 0, s = 0;
    if (!GetProcessAffinityMask(toHandle(process), &p, &s)) return false;
    processMask = p;
    systemMask = s;
    return true;
}

bool Win32Processes::getExitCodeProcess(const ProcessHandle& process, std::uint32_t& code) {
    DWORD c = 0;
    if (!GetExitCodeProcess(toHandle(process), &c)) return false;
    code = c;
    return true;
}

bool Win32Processes::queryFullProcessImageName(const ProcessHandle& process, std::u16string& path) {
    // The longest path Windows allows, in a string of its own rather than on the stack;
    // the caller's string changes only on success.
    std::u16string buffer(32768, u'\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!QueryFullProcessImageNameW(toHandle(process), 0, reinterpret_cast<wchar_t*>(buffer.data()), &size))
        return false;
    buffer.resize(size);
    path = std::move(buffer);
    return true;
}

bool Win32Processes::isWow64Process(const ProcessHandle& process, bool& wow64) {
    auto fn = routines().isWow64Process;
    if (!fn) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    BOOL w = FALSE;
    if (!fn(toHandle(process), &w)) return false;
    wow64 = w != FALSE;
    return true;
}

bool Win32Processes::getProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, void* buffer,
                                           std::uint32_t size) {
    auto fn = routines().getProcessInformation;
    if (!fn) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    return fn(toHandle(process), static_cast<int>(infoClass), buffer, size) != FALSE;
}

std::int32_t Win32Processes::ntQueryInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                                       void* buffer, std::uint32_t size,
                                                       std::uint32_t* returnedSize) {
    auto fn = routines().ntQueryInformationProcess;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    ULONG ret = 0;
    const LONG status = fn(toHandle(process), infoClass, buffer, size, &ret);
    if (win::ntSuccess(status) && returnedSize) *returnedSize = ret;
    return status;
}

bool Win32Processes::setPriorityClass(const ProcessHandle& process, std::uint32_t cls) {
    return SetPriorityClass(toHandle(process), cls) != FALSE;
}

bool Win32Processes::setProcessAffinityMask(const ProcessHandle& process, std::uint64_t mask) {
    return SetProcessAffinityMask(toHandle(process), static_cast<DWORD_PTR>(mask)) != FALSE;
}

std::int32_t Win32Processes::ntSetInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                                     const void* buffer, std::uint32_t size) {
    auto fn = routines().ntSetInformationProcess;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    return fn(toHandle(process), infoClass, const_cast<void*>(buffer), size);
}

bool Win32Processes::setProcessInformation(const ProcessHandle& process, std::uint32_t infoClass,
                                           const void* buffer, std::uint32_t size) {
    auto fn = routines().setProcessInformation;
    if (!fn) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    return fn(toHandle(process), static_cast<int>(infoClass), const_cast<void*>(buffer), size) != FALSE;
}

bool Win32Processes::terminateProcess(const ProcessHandle& process, std::uint32_t exitCode) {
    return TerminateProcess(toHandle(process), exitCode) != FALSE;
}

bool Win32Processes::emptyWorkingSet(const ProcessHandle& process) {
    return K32EmptyWorkingSet(toHandle(process)) != FALSE;
}

bool Win32Processes::setProcessWorkingSetSize(const ProcessHandle& process, std::uint64_t minimum,
                                              std::uint64_t maximum) {
    return SetProcessWorkingSetSize(toHandle(process), static_cast<SIZE_T>(minimum), static_cast<SIZE_T>(maximum)) !=
           FALSE;
}

bool Win32Processes::startThread(std::thread& out, std::function<void()> fn) {
    try {
        out = std::thread(std::move(fn));
        return true;
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

}  // namespace zk::platform::win32
