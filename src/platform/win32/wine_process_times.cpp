// Wine compatibility shim: Wine 8's GetProcessTimes on another process returns the
// calling process's own times, so a busy background process would look exactly as idle
// as the caller. Wine's NtQuerySystemInformation(SystemProcessInformation) does report
// every process's kernel and user times, so under Wine, and only for other processes,
// the Win32 platform takes them from there. On Windows none of this runs.

#include "platform/win32/wine_process_times.h"

#include "platform/win32/win32_areas.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace zk::platform::win32 {

namespace {

constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kInitialBytes = 256 * 1024;
constexpr int kMaxAttempts = 8;  // the list can grow between the size answer and the retry

// The head of one SYSTEM_PROCESS_INFORMATION entry, 64-bit layout (the same in Wine and
// Windows); the headers of the toolchains disagree on its names, so it is spelt out here.
struct ProcessInfoHead {
    ULONG nextEntryOffset;
    ULONG numberOfThreads;
    LONGLONG workingSetPrivateSize;
    ULONG hardFaultCount;
    ULONG numberOfThreadsHighWatermark;
    ULONGLONG cycleTime;
    LONGLONG createTime;
    LONGLONG userTime;
    LONGLONG kernelTime;
    USHORT imageNameLength;
    USHORT imageNameMaximumLength;
    PWSTR imageNameBuffer;
    LONG basePriority;
    HANDLE uniqueProcessId;
};
static_assert(sizeof(void*) != 8 || offsetof(ProcessInfoHead, userTime) == 40, "SYSTEM_PROCESS_INFORMATION");
static_assert(sizeof(void*) != 8 || offsetof(ProcessInfoHead, kernelTime) == 48, "SYSTEM_PROCESS_INFORMATION");
static_assert(sizeof(void*) != 8 || offsetof(ProcessInfoHead, uniqueProcessId) == 80, "SYSTEM_PROCESS_INFORMATION");

// One buffer, reused by every caller (a process walk asks once per process), and grown
// when the list outgrows it. Never freed: callers may come while the library unloads.
struct ListBuffer {
    std::mutex mutex;
    std::unique_ptr<ULONGLONG[]> data;  // 8-byte aligned entries
    ULONG bytes = 0;

    bool grow(ULONG wanted) {
        const std::size_t words = (static_cast<std::size_t>(wanted) + 7) / 8;
        std::unique_ptr<ULONGLONG[]> fresh(new (std::nothrow) ULONGLONG[words]);
        if (!fresh) return false;
        data = std::move(fresh);
        bytes = static_cast<ULONG>(words * 8);
        return true;
    }
};

ListBuffer& listBuffer() {
    static ListBuffer* buffer = new ListBuffer;
    return *buffer;
}

}  // namespace

bool runningUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool systemListProcessTimes(std::uint32_t pid, std::uint64_t& kernel, std::uint64_t& user) {
    const auto query = routines().ntQuerySystemInformation;
    if (!query) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    ListBuffer& list = listBuffer();
    std::lock_guard lk(list.mutex);
    if (!list.data && !list.grow(kInitialBytes)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    LONG status = kStatusInfoLengthMismatch;
    for (int attempt = 0; attempt < kMaxAttempts && status == kStatusInfoLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemProcessInformation, list.data.get(), list.bytes, &needed);
        if (status == kStatusInfoLengthMismatch) {
            const ULONG wanted = needed > list.bytes ? needed + needed / 4 : list.bytes * 2;
            if (wanted <= list.bytes || !list.grow(wanted)) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return false;
            }
        }
    }
    if (status < 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }

    const auto* base = reinterpret_cast<const unsigned char*>(list.data.get());
    std::size_t offset = 0;
    for (;;) {
        if (offset + sizeof(ProcessInfoHead) > list.bytes) break;
        ProcessInfoHead head;
        std::memcpy(&head, base + offset, sizeof head);
        if (static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(head.uniqueProcessId)) == pid) {
            kernel = static_cast<std::uint64_t>(head.kernelTime);
            user = static_cast<std::uint64_t>(head.userTime);
            return true;
        }
        if (head.nextEntryOffset == 0) break;
        offset += head.nextEntryOffset;
    }
    SetLastError(ERROR_NOT_FOUND);
    return false;
}

}  // namespace zk::platform::win32
