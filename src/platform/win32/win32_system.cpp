#include "platform/win32/win32_areas.h"

#include <cstdio>

namespace zk::platform::win32 {

std::uint32_t Win32System::logicalProcessorCount() {
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    return si.dwNumberOfProcessors;
}

std::uint16_t Win32System::activeProcessorGroupCount() { return GetActiveProcessorGroupCount(); }

std::uint32_t Win32System::activeProcessorCount(std::uint16_t group) { return GetActiveProcessorCount(group); }

bool Win32System::getLogicalProcessorInformationEx(std::uint32_t relationship, void* buffer, std::uint32_t& length) {
    DWORD size = length;
    if (!GetLogicalProcessorInformationEx(static_cast<LOGICAL_PROCESSOR_RELATIONSHIP>(relationship),
                                          static_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX>(buffer), &size)) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) length = size;
        return false;
    }
    length = size;
    return true;
}

bool Win32System::getSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user) {
    FILETIME i{}, k{}, u{};
    if (!GetSystemTimes(&i, &k, &u)) return false;
    idle = fileTime(i);
    kernel = fileTime(k);
    user = fileTime(u);
    return true;
}

bool Win32System::globalMemoryStatus(MemoryStatus& out) {
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

std::int32_t Win32System::ntQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t size,
                                                  std::uint32_t* returnedSize) {
    auto fn = routines().ntQuerySystemInformation;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    ULONG ret = 0;
    const LONG status = fn(infoClass, buffer, size, &ret);
    if (win::ntSuccess(status) && returnedSize) *returnedSize = ret;
    return status;
}

std::int32_t Win32System::ntSetSystemInformation(std::uint32_t infoClass, const void* buffer, std::uint32_t size) {
    auto fn = routines().ntSetSystemInformation;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    return fn(infoClass, const_cast<void*>(buffer), size);
}

void Win32System::outputDebugString(const char* text) { OutputDebugStringA(text ? text : ""); }

void Win32System::writeStdErr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void Win32System::writeStdOut(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::u16string Win32System::utf8ToWide(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string Win32System::wideToAnsi(std::u16string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, w, size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, size, out.data(), n, nullptr, nullptr);
    return out;
}

int Win32System::ansiToWide(const char* text, int length, char16_t* out, int outChars) {
    return MultiByteToWideChar(CP_ACP, 0, text, length, reinterpret_cast<wchar_t*>(out), outChars);
}

}  // namespace zk::platform::win32
