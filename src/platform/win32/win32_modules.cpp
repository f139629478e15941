#include "platform/win32/win32_areas.h"

#include <memory>
#include <new>
#include <string>

namespace zk::platform::win32 {

namespace {

template <typename Fn>
void resolve(Fn& out, HMODULE module, const char* name) {
    out = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

HMODULE systemModule(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n >= MAX_PATH) SetLastError(ERROR_BUFFER_OVERFLOW);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path(folder, n);
    path += L'\\';
    path += fileName;
    return LoadLibraryW(path.c_str());
}

const Routines& routines() {
    // ntdll and kernel32 are loaded in every process.
    static const Routines r = [] {
        Routines out{};
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        resolve(out.ntQueryInformationProcess, ntdll, "NtQueryInformationProcess");
        resolve(out.ntSetInformationProcess, ntdll, "NtSetInformationProcess");
        resolve(out.ntQuerySystemInformation, ntdll, "NtQuerySystemInformation");
        resolve(out.ntSetSystemInformation, ntdll, "NtSetSystemInformation");
        resolve(out.ntPowerInformation, ntdll, "NtPowerInformation");
        resolve(out.ntSetTimerResolution, ntdll, "NtSetTimerResolution");
        resolve(out.prefetchVirtualMemory, kernel32, "PrefetchVirtualMemory");
        resolve(out.isWow64Process, kernel32, "IsWow64Process");
        resolve(out.getProcessInformation, kernel32, "GetProcessInformation");
        resolve(out.setProcessInformation, kernel32, "SetProcessInformation");
        resolve(out.ntCreateFile, ntdll, "NtCreateFile");
        resolve(out.getSystemTimePreciseAsFileTime, kernel32, "GetSystemTimePreciseAsFileTime");
        return out;
    }();
    return r;
}

const PowerRoutines& powerRoutines() {
    static const PowerRoutines r = [] {
        PowerRoutines out{};
        HMODULE powrprof = systemModule(L"powrprof.dll");
        resolve(out.getActiveScheme, powrprof, "PowerGetActiveScheme");
        resolve(out.setActiveScheme, powrprof, "PowerSetActiveScheme");
        resolve(out.readAcValueIndex, powrprof, "PowerReadACValueIndex");
        resolve(out.writeAcValueIndex, powrprof, "PowerWriteACValueIndex");
        resolve(out.writeDcValueIndex, powrprof, "PowerWriteDCValueIndex");
        return out;
    }();
    return r;
}

bool Win32Modules::hasRoutine(Routine r) {
    const Routines& t = routines();
    switch (r) {
        case Routine::NtQueryInformationProcess: return t.ntQueryInformationProcess != nullptr;
        case Routine::NtSetInformationProcess: return t.ntSetInformationProcess != nullptr;
        case Routine::NtQuerySystemInformation: return t.ntQuerySystemInformation != nullptr;
        case Routine::NtSetSystemInformation: return t.ntSetSystemInformation != nullptr;
        case Routine::NtPowerInformation: return t.ntPowerInformation != nullptr;
        case Routine::NtSetTimerResolution: return t.ntSetTimerResolution != nullptr;
        case Routine::PrefetchVirtualMemory: return t.prefetchVirtualMemory != nullptr;
        case Routine::IsWow64Process: return t.isWow64Process != nullptr;
        case Routine::GetProcessInformation: return t.getProcessInformation != nullptr;
        case Routine::DnsFlushResolverCache: {
            // dnsapi is not loaded in every process: looked at, and let go again.
            const ModuleHandle dnsapi(&owner_, reinterpret_cast<RawHandle>(systemModule(L"dnsapi.dll")));
            return dnsapi && GetProcAddress(reinterpret_cast<HMODULE>(dnsapi.get()), "DnsFlushResolverCache");
        }
        case Routine::NtCreateFile: return t.ntCreateFile != nullptr;
        case Routine::GetSystemTimePreciseAsFileTime: return t.getSystemTimePreciseAsFileTime != nullptr;
        case Routine::PowerGetActiveScheme: return powerRoutines().getActiveScheme != nullptr;
        case Routine::PowerSetActiveScheme: return powerRoutines().setActiveScheme != nullptr;
        case Routine::PowerReadACValueIndex: return powerRoutines().readAcValueIndex != nullptr;
        case Routine::PowerWriteACValueIndex: return powerRoutines().writeAcValueIndex != nullptr;
        case Routine::PowerWriteDCValueIndex: return powerRoutines().writeDcValueIndex != nullptr;
        case Routine::SetProcessInformation: return t.setProcessInformation != nullptr;
        case Routine::Count: break;
    }
    return false;
}

namespace {

// The module that holds this code, whatever its file is called; the library is loaded
// while its code runs, so the handle needs no reference of its own.
HMODULE ownModule() {
    HMODULE self = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&ownModule)), &self))
        return nullptr;
    return self;
}

}  // namespace

void* Win32Modules::findOwnExport(const char* name) {
    HMODULE self = ownModule();
    if (!self || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(self, name));
}

bool Win32Modules::loadOwnModule() { return ownModule() != nullptr; }

namespace {

struct ModuleThread {
    std::function<void()> fn;
    HMODULE module;
};

DWORD WINAPI runModuleThread(void* param) {
    HMODULE module = nullptr;
    {
        std::unique_ptr<ModuleThread> job(static_cast<ModuleThread*>(param));
        module = job->module;
        try {
            job->fn();
        } catch (...) {
        }
    }  // the function and its captures go before the reference does
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool Win32Modules::startModuleThread(std::function<void()> fn) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&runModuleThread)), &self))
        return false;
    auto* job = new (std::nothrow) ModuleThread{std::move(fn), self};
    if (!job) {
        FreeLibrary(self);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    ThreadHandle thread(&owner_, fromHandle(CreateThread(nullptr, 0, &runModuleThread, job, 0, nullptr)));
    if (!thread) {
        const DWORD error = GetLastError();
        delete job;
        FreeLibrary(self);
        SetLastError(error);
        return false;
    }
    return true;
}

}  // namespace zk::platform::win32
