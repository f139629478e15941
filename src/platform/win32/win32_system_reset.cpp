// The system-wide resets a restore asks for: the timer-resolution request and the DNS cache.
#include "platform/win32/win32_areas.h"

namespace zk::platform::win32 {

std::int32_t Win32System::ntSetTimerResolution(std::uint32_t desired, bool set, std::uint32_t& current) {
    auto fn = routines().ntSetTimerResolution;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    ULONG actual = 0;
    const LONG status = fn(desired, set ? TRUE : FALSE, &actual);
    if (win::ntSuccess(status)) current = actual;
    return status;
}

bool Win32System::dnsFlushResolverCache() {
    // dnsapi is not loaded in every process: loaded from the system folder once.
    static HMODULE const dnsapi = systemModule(L"dnsapi.dll");
    if (!dnsapi) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    static auto const flush =
        reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(dnsapi, "DnsFlushResolverCache")));
    if (!flush) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    // The routine may fail without setting an error: none left over from earlier calls.
    SetLastError(ERROR_SUCCESS);
    return flush() != FALSE;
}

}  // namespace zk::platform::win32
