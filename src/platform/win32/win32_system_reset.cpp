// The system-wide resets a restore asks for (the timer-resolution request and the DNS
// cache), and the system's error texts for its log.
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

DnsFlushStep Win32System::dnsFlushResolverCache() {
    // dnsapi is not loaded in every process: loaded from the system folder for the flush
    // and let go after it, each failure with its own error.
    ModuleHandle dnsapi(&defaultPlatform(), reinterpret_cast<RawHandle>(systemModule(L"dnsapi.dll")));
    if (!dnsapi) return DnsFlushStep::LoadModule;
    // Freeing the module must not replace the error the step left.
    const auto leave = [&dnsapi](DnsFlushStep step) {
        const DWORD error = GetLastError();
        dnsapi.reset();
        SetLastError(error);
        return step;
    };
    const auto flush = reinterpret_cast<BOOL(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(dnsapi.get()), "DnsFlushResolverCache")));
    if (!flush) return leave(DnsFlushStep::FindRoutine);
    // The routine may fail without setting an error: none left over from earlier calls.
    SetLastError(ERROR_SUCCESS);
    return leave(flush() != FALSE ? DnsFlushStep::None : DnsFlushStep::Flush);
}

std::string Win32System::systemMessage(std::uint32_t code) {
    char buf[1024];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buf, sizeof buf, nullptr);
    return std::string(buf, n);
}

}  // namespace zk::platform::win32
