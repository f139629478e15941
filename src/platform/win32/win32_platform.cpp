// The Win32 platform: one Windows call per operation, no policy.

// The seam's headers come first: <windows.h> defines the same names (PROCESS_TERMINATE,
// ERROR_ACCESS_DENIED, ...) as macros, so below it this file uses the macros, not zk::win.
#include "platform/platform.h"
#include "platform/win32/wine_process_times.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <system_error>

namespace zk::platform {

namespace {

HANDLE toHandle(RawHandle h) { return reinterpret_cast<HANDLE>(h); }
RawHandle fromHandle(HANDLE h) {
    return (h == nullptr || h == INVALID_HANDLE_VALUE) ? kNullHandle : reinterpret_cast<RawHandle>(h);
}

using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using NtSetInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG);
using NtSetSystemInformationFn = LONG(NTAPI*)(ULONG, PVOID, ULONG);
using NtPowerInformationFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PVOID, ULONG);
using NtSetTimerResolutionFn = LONG(NTAPI*)(ULONG, BOOLEAN, PULONG);
using PrefetchVirtualMemoryFn = BOOL(WINAPI*)(HANDLE, ULONG_PTR, PVOID, ULONG);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using GetProcessInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
using DnsFlushResolverCacheFn = BOOL(WINAPI*)();

template <typename Fn>
Fn resolve(HMODULE module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Routines a system may lack, resolved once from modules already loaded in every process.
struct Routines {
    NtQueryInformationProcessFn ntQueryInformationProcess;
    NtSetInformationProcessFn ntSetInformationProcess;
    NtSetSystemInformationFn ntSetSystemInformation;
    NtPowerInformationFn ntPowerInformation;
    NtSetTimerResolutionFn ntSetTimerResolution;
    PrefetchVirtualMemoryFn prefetchVirtualMemory;
    IsWow64ProcessFn isWow64Process;
    GetProcessInformationFn getProcessInformation;
    DnsFlushResolverCacheFn dnsFlushResolverCache;

    Routines() {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        HMODULE dnsapi = GetModuleHandleW(L"dnsapi.dll");
        ntQueryInformationProcess = resolve<NtQueryInformationProcessFn>(ntdll, "NtQueryInformationProcess");
        ntSetInformationProcess = resolve<NtSetInformationProcessFn>(ntdll, "NtSetInformationProcess");
        ntSetSystemInformation = resolve<NtSetSystemInformationFn>(ntdll, "NtSetSystemInformation");
        ntPowerInformation = resolve<NtPowerInformationFn>(ntdll, "NtPowerInformation");
        ntSetTimerResolution = resolve<NtSetTimerResolutionFn>(ntdll, "NtSetTimerResolution");
        prefetchVirtualMemory = resolve<PrefetchVirtualMemoryFn>(kernel32, "PrefetchVirtualMemory");
        isWow64Process = resolve<IsWow64ProcessFn>(kernel32, "IsWow64Process");
        getProcessInformation = resolve<GetProcessInformationFn>(kernel32, "GetProcessInformation");
        dnsFlushResolverCache = resolve<DnsFlushResolverCacheFn>(dnsapi, "DnsFlushResolverCache");
    }

    bool has(Routine r) const {
        switch (r) {
            case Routine::NtQueryInformationProcess: return ntQueryInformationProcess != nullptr;
            case Routine::NtSetInformationProcess: return ntSetInformationProcess != nullptr;
            case Routine::NtSetSystemInformation: return ntSetSystemInformation != nullptr;
            case Routine::NtPowerInformation: return ntPowerInformation != nullptr;
            case Routine::NtSetTimerResolution: return ntSetTimerResolution != nullptr;
            case Routine::PrefetchVirtualMemory: return prefetchVirtualMemory != nullptr;
            case Routine::IsWow64Process: return isWow64Process != nullptr;
            case Routine::GetProcessInformation: return getProcessInformation != nullptr;
            case Routine::DnsFlushResolverCache: return dnsFlushResolverCache != nullptr;
            case Routine::Count: break;
        }
        return false;
    }
};

const Routines& routines() {
    static const Routines r;  // thread-safe one-time initialisation
    return r;
}

void copyEntry(const PROCESSENTRY32W& in, ProcessEntry& out) {
    out.pid = in.th32ProcessID;
    out.parentPid = in.th32ParentProcessID;
    out.threadCount = in.cntThreads;
    out.basePriority = in.pcPriClassBase;
    static_assert(sizeof(in.szExeFile) == sizeof(out.exeFile), "same name buffer");
    std::memcpy(out.exeFile, in.szExeFile, sizeof out.exeFile);
}

std::uint64_t fileTime(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

class Win32Platform final : public Platform {
public:
    void closeHandle(RawHandle h) override { CloseHandle(toHandle(h)); }
    std::uint32_t lastError() override { return GetLastError(); }
    void setLastError(std::uint32_t code) override { SetLastError(code); }
    bool hasRoutine(Routine r) override { return routines().has(r); }

    UniqueHandle createProcessSnapshot() override {
        return UniqueHandle(this, fromHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)));
    }
    bool processFirst(RawHandle snapshot, ProcessEntry& out) override {
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        if (!Process32FirstW(toHandle(snapshot), &e)) return false;
        copyEntry(e, out);
        return true;
    }
    bool processNext(RawHandle snapshot, ProcessEntry& out) override {
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        if (!Process32NextW(toHandle(snapshot), &e)) return false;
        copyEntry(e, out);
        return true;
    }
    UniqueHandle openProcess(std::uint32_t access, bool inherit, std::uint32_t pid) override {
        return UniqueHandle(this, fromHandle(OpenProcess(access, inherit ? TRUE : FALSE, pid)));
    }
    std::uint32_t currentProcessId() override { return GetCurrentProcessId(); }

    bool getProcessMemoryInfo(RawHandle process, MemoryCounters& out) override {
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
    bool getProcessTimes(RawHandle process, ProcessTimes& out) override {
        FILETIME c, e, k, u;
        if (!GetProcessTimes(toHandle(process), &c, &e, &k, &u)) return false;
        out.creation = fileTime(c);
        out.exit = fileTime(e);
        out.kernel = fileTime(k);
        out.user = fileTime(u);
        // Wine compatibility shim: there, another process's CPU times come from the
        // system process list (wine_process_times.cpp).
        if (win32::runningUnderWine()) {
            const DWORD pid = GetProcessId(toHandle(process));
            if (pid != 0 && pid != GetCurrentProcessId())
                return win32::systemListProcessTimes(pid, out.kernel, out.user);
        }
        return true;
    }
    bool getProcessIoCounters(RawHandle process, IoCounters& out) override {
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
    std::uint32_t getPriorityClass(RawHandle process) override { return GetPriorityClass(toHandle(process)); }
    bool setPriorityClass(RawHandle process, std::uint32_t cls) override {
        return SetPriorityClass(toHandle(process), cls) != FALSE;
    }
    bool getProcessAffinityMask(RawHandle process, std::uint64_t& processMask, std::uint64_t& systemMask) override {
        DWORD_PTR p = 0, s = 0;
        if (!GetProcessAffinityMask(toHandle(process), &p, &s)) return false;
        processMask = p;
        systemMask = s;
        return true;
    }
    bool setProcessAffinityMask(RawHandle process, std::uint64_t mask) override {
        return SetProcessAffinityMask(toHandle(process), static_cast<DWORD_PTR>(mask)) != FALSE;
    }
    bool getExitCodeProcess(RawHandle process, std::uint32_t& code) override {
        DWORD c = 0;
        if (!GetExitCodeProcess(toHandle(process), &c)) return false;
        code = c;
        return true;
    }
    bool terminateProcess(RawHandle process, std::uint32_t exitCode) override {
        return TerminateProcess(toHandle(process), exitCode) != FALSE;
    }
    bool queryFullProcessImageName(RawHandle process, std::u16string& path) override {
        // The longest path Windows allows, in the caller's string rather than on the stack.
        path.resize(32768);
        DWORD size = static_cast<DWORD>(path.size());
        if (!QueryFullProcessImageNameW(toHandle(process), 0, reinterpret_cast<wchar_t*>(path.data()), &size)) {
            path.clear();
            return false;
        }
        path.resize(size);
        return true;
    }
    bool emptyWorkingSet(RawHandle process) override { return K32EmptyWorkingSet(toHandle(process)) != FALSE; }
    bool setProcessWorkingSetSize(RawHandle process, std::uint64_t minimum, std::uint64_t maximum) override {
        return SetProcessWorkingSetSize(toHandle(process), static_cast<SIZE_T>(minimum),
                                        static_cast<SIZE_T>(maximum)) != FALSE;
    }
    bool isWow64Process(RawHandle process, bool& wow64) override {
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
    bool getProcessInformation(RawHandle process, std::uint32_t infoClass, void* buffer, std::uint32_t size) override {
        auto fn = routines().getProcessInformation;
        if (!fn) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return false;
        }
        return fn(toHandle(process), static_cast<int>(infoClass), buffer, size) != FALSE;
    }
    std::int32_t ntQueryInformationProcess(RawHandle process, std::uint32_t infoClass, void* buffer,
                                           std::uint32_t size, std::uint32_t* returnedSize) override {
        auto fn = routines().ntQueryInformationProcess;
        if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
        ULONG ret = 0;
        const LONG status = fn(toHandle(process), infoClass, buffer, size, &ret);
        if (returnedSize) *returnedSize = ret;
        return status;
    }
    std::int32_t ntSetInformationProcess(RawHandle process, std::uint32_t infoClass, const void* buffer,
                                         std::uint32_t size) override {
        auto fn = routines().ntSetInformationProcess;
        if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
        return fn(toHandle(process), infoClass, const_cast<void*>(buffer), size);
    }

    UniqueHandle openProcessToken(std::uint32_t access) override {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), access, &token)) return UniqueHandle();
        return UniqueHandle(this, fromHandle(token));
    }
    bool lookupPrivilegeValue(const char* name, std::uint64_t& luid) override {
        LUID l{};
        if (!LookupPrivilegeValueA(nullptr, name, &l)) return false;
        luid = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(l.HighPart)) << 32) | l.LowPart;
        return true;
    }
    bool adjustTokenPrivilege(RawHandle token, std::uint64_t luid, bool enable) override {
        TOKEN_PRIVILEGES tp{};
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid & 0xFFFFFFFFu);
        tp.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
        tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        return AdjustTokenPrivileges(toHandle(token), FALSE, &tp, sizeof tp, nullptr, nullptr) != FALSE;
    }
    bool getTokenElevation(RawHandle token, bool& elevated) override {
        TOKEN_ELEVATION e{};
        DWORD size = 0;
        if (!GetTokenInformation(toHandle(token), TokenElevation, &e, sizeof e, &size)) return false;
        elevated = e.TokenIsElevated != 0;
        return true;
    }

    std::uint32_t logicalProcessorCount() override {
        SYSTEM_INFO si{};
        GetSystemInfo(&si);
        return si.dwNumberOfProcessors;
    }
    bool globalMemoryStatus(MemoryStatus& out) override {
        MEMORYSTATUSEX m{};
        m.dwLength = sizeof m;
        if (!GlobalMemoryStatusEx(&m)) return false;
        out.memoryLoad = m.dwMemoryLoad;
        out.totalPhys = m.ullTotalPhys;
        out.availPhys = m.ullAvailPhys;
        out.totalPageFile = m.ullTotalPageFile;
        out.availPageFile = m.ullAvailPageFile;
        out.totalVirtual = m.ullTotalVirtual;
        out.availVirtual = m.ullAvailVirtual;
        return true;
    }
    std::int32_t ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize, void* output,
                                    std::uint32_t outputSize) override {
        auto fn = routines().ntPowerInformation;
        if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
        return fn(level, const_cast<void*>(input), inputSize, output, outputSize);
    }
    std::int32_t ntSetSystemInformation(std::uint32_t infoClass, const void* buffer, std::uint32_t size) override {
        auto fn = routines().ntSetSystemInformation;
        if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
        return fn(infoClass, const_cast<void*>(buffer), size);
    }

    std::int64_t queryPerformanceCounter() override {
        LARGE_INTEGER v;
        QueryPerformanceCounter(&v);
        return v.QuadPart;
    }
    std::int64_t queryPerformanceFrequency() override {
        LARGE_INTEGER v;
        QueryPerformanceFrequency(&v);
        return v.QuadPart;
    }
    std::uint64_t tickCount64() override { return GetTickCount64(); }
    std::uint64_t steadyNs() override {
        static const std::int64_t freq = queryPerformanceFrequency();
        const std::int64_t c = queryPerformanceCounter();
        return static_cast<std::uint64_t>(c / freq) * 1000000000ull +
               static_cast<std::uint64_t>(c % freq) * 1000000000ull / static_cast<std::uint64_t>(freq);
    }
    std::uint64_t systemTimeAsFileTime() override {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return fileTime(ft);
    }
    LocalTime localTime() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return LocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay,
                         st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    }
    void sleepMs(std::uint32_t ms) override { Sleep(ms); }

    void outputDebugString(const char* text) override { OutputDebugStringA(text ? text : ""); }
    void writeStdErr(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    void writeStdOut(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    bool startThread(std::thread& out, std::function<void()> fn) override {
        try {
            out = std::thread(std::move(fn));
            return true;
        } catch (const std::system_error&) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
    }
    void* findOwnExport(const char* name) override {
        HMODULE self = GetModuleHandleW(L"Zelkor.dll");
        if (!self || !name) return nullptr;
        return reinterpret_cast<void*>(GetProcAddress(self, name));
    }
    bool loadOwnModule() override {
        return GetModuleHandleW(L"Zelkor.dll") != nullptr || LoadLibraryW(L"Zelkor.dll") != nullptr;
    }
    std::u16string utf8ToWide(std::string_view text) override {
        if (text.empty() || text.size() > 0x7FFFFFFF) return {};
        const int size = static_cast<int>(text.size());
        const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
        if (n <= 0) return {};
        std::u16string out(static_cast<std::size_t>(n), u'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()), n);
        return out;
    }
    std::string wideToAnsi(std::u16string_view text) override {
        if (text.empty()) return {};
        const auto* w = reinterpret_cast<const wchar_t*>(text.data());
        const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        if (n <= 0) return {};
        std::string out(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
        return out;
    }
    int ansiToWide(const char* text, int length, char16_t* out, int outChars) override {
        return MultiByteToWideChar(CP_ACP, 0, text, length, reinterpret_cast<wchar_t*>(out), outChars);
    }
};

Platform& defaultPlatform() {
    static Win32Platform instance;
    return instance;
}

}  // namespace zk::platform
