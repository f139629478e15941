// Reading the machine for the self-test: processes, services and the power scheme.
#include "selftest_snapshot.h"

#include <tlhelp32.h>
#include <winsvc.h>

#include <memory>

#include "selftest_handles.h"

namespace zkctl::selftest {

const char* const kPowerValueNames[kPowerValues] = {"minimum processor state", "maximum processor state",
                                                    "processor boost mode", "core parking minimum"};

namespace {

constexpr GUID kProcessorSubgroup = {0x54533251, 0x82be, 0x4824, {0x96, 0xc1, 0x47, 0xb6, 0x0b, 0x74, 0x0d, 0x00}};
constexpr std::array<GUID, kPowerValues> kPowerSettings = {{
    {0x893dee8e, 0x2bef, 0x41e0, {0x89, 0xc6, 0xb5, 0x5d, 0x09, 0x29, 0x96, 0x4c}},
    {0xbc5038f7, 0x23e0, 0x4960, {0x96, 0xda, 0x33, 0xab, 0xaf, 0x59, 0x35, 0xec}},
    {0xbe337238, 0x0d82, 0x4146, {0xa9, 0x60, 0x4f, 0x37, 0x49, 0xd4, 0x70, 0xc7}},
    {0x0cc5b647, 0xc1df, 0x4637, {0x89, 0x1a, 0xde, 0xc3, 0x5c, 0x31, 0x85, 0x83}},
}};

template <typename Fn>
Fn systemRoutine(const wchar_t* dll, const char* name) {
    wchar_t dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    // Loaded for the life of the process, like the library's own routines.
    const HMODULE m = LoadLibraryW((std::wstring(dir) + L"\\" + dll).c_str());
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name))) : nullptr;
}

// With SeDebugPrivilege enabled where the token holds it, the snapshot sees the processes
// the library's modules reach after enabling it themselves.
void enableDebugPrivilege() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return;
    const UniqueHandle token(raw);
    TOKEN_PRIVILEGES tp{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    if (LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &tp.Privileges[0].Luid))
        AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
}

void readProcesses(MachineSnapshot& s) {
    static const bool privileged = (enableDebugPrivilege(), true);
    (void)privileged;
    const HANDLE raw = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (raw == INVALID_HANDLE_VALUE) return;
    const UniqueHandle snap(raw);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(raw, &e); more; more = Process32NextW(raw, &e)) {
        // The I/O priority needs the full query right on some systems; the rest do with less.
        UniqueHandle h(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, e.th32ProcessID));
        if (!h) h.reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID));
        FILETIME created{}, exited{}, kernel{}, user{};
        DWORD_PTR system = 0;
        ProcessRecord r;
        r.name = utf8(e.szExeFile);
        if (e.th32ProcessID == 0 || !h || !GetProcessTimes(h.get(), &created, &exited, &kernel, &user) ||
            (r.priorityClass = GetPriorityClass(h.get())) == 0 || !GetProcessAffinityMask(h.get(), &r.affinity, &system))
            continue;
        r.ioPriority = ioPriorityOf(h.get());
        const ULONGLONG since = (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
        s.processes[{e.th32ProcessID, since}] = std::move(r);
    }
}

}  // namespace

std::optional<ULONG> ioPriorityOf(HANDLE process) {
    using QueryFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    constexpr ULONG kProcessIoPriority = 33;
    ULONG value = 0;
    if (!query || query(process, kProcessIoPriority, &value, sizeof value, nullptr) < 0) return std::nullopt;
    return value;
}

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

ServiceRecord readService(const std::wstring& name) {
    ServiceRecord r;
    const UniqueService scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm) return r;
    const UniqueService svc(OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    SERVICE_STATUS status{};
    DWORD needed = 0;
    if (!svc || !QueryServiceStatus(svc.get(), &status)) return r;
    QueryServiceConfigW(svc.get(), nullptr, 0, &needed);
    std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(svc.get(), config, static_cast<DWORD>(buffer.size() * sizeof buffer[0]), &needed))
        return r;
    r.present = true;
    r.state = status.dwCurrentState;
    r.startType = config->dwStartType;
    SERVICE_DELAYED_AUTO_START_INFO delayed{};
    if (QueryServiceConfig2W(svc.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, reinterpret_cast<BYTE*>(&delayed),
                             sizeof delayed, &needed))
        r.delayed = delayed.fDelayedAutostart != FALSE;
    return r;
}

PowerRecord readPower(const std::optional<GUID>& valuesOf) {
    using GetActiveFn = DWORD(WINAPI*)(HKEY, GUID**);
    using ReadAcFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    static const auto getActive = systemRoutine<GetActiveFn>(L"powrprof.dll", "PowerGetActiveScheme");
    static const auto readAc = systemRoutine<ReadAcFn>(L"powrprof.dll", "PowerReadACValueIndex");
    PowerRecord r;
    GUID* active = nullptr;
    const DWORD e = getActive ? getActive(nullptr, &active) : ERROR_PROC_NOT_FOUND;
    if (e == ERROR_SUCCESS && active) {
        r.scheme = *active;
        LocalFree(active);
    } else {
        r.unreadable = "no active power scheme (error " + std::to_string(e) + ")";
    }
    const std::optional<GUID> of = valuesOf ? valuesOf : r.scheme;
    for (std::size_t i = 0; of && readAc && i < kPowerValues; ++i) {
        DWORD v = 0;
        if (readAc(nullptr, &*of, &kProcessorSubgroup, &kPowerSettings[i], &v) == ERROR_SUCCESS) r.acValues[i] = v;
    }
    if (r.unreadable.empty() && !r.acValues[0] && !r.acValues[1])
        r.unreadable = readAc ? "the active scheme's processor values cannot be read" : "no PowerReadACValueIndex here";
    return r;
}

MachineSnapshot takeSnapshot(const std::vector<std::wstring>& services, const std::optional<GUID>& valuesOf) {
    MachineSnapshot s;
    readProcesses(s);
    for (const auto& name : services) s.services[name] = readService(name);
    s.power = readPower(valuesOf);
    return s;
}

}  // namespace zkctl::selftest
