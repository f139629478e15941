#pragma once
// The machine as a whole: processors, memory, system information, the debugger and the
// standard streams, the system's code pages and error texts, and the system-wide resets.

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::platform {

// MEMORYSTATUSEX.
struct MemoryStatus {
    std::uint32_t memoryLoad = 0;
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availPageFile = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t availVirtual = 0;
};

inline constexpr std::uint16_t kAllProcessorGroups = 0xFFFF;  // ALL_PROCESSOR_GROUPS

enum class DnsFlushStep : std::uint8_t { None, LoadModule, FindRoutine, Flush };

class System {
public:
    virtual ~System() = default;

    // GetSystemInfo's dwNumberOfProcessors: the logical processors of the calling
    // process's group (at most 64).
    virtual std::uint32_t logicalProcessorCount() = 0;
    virtual std::uint16_t activeProcessorGroupCount() = 0;
    // GetActiveProcessorCount: one group's processors, or all with kAllProcessorGroups;
    // 0 for a group that does not exist.
    virtual std::uint32_t activeProcessorCount(std::uint16_t group) = 0;

    // GetLogicalProcessorInformationEx: fills `buffer` with the variable-size
    // SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX records of one relationship and sets
    // `length` to the bytes used. A buffer too small (or none) fails with
    // ERROR_INSUFFICIENT_BUFFER and sets `length` to the size needed.
    virtual bool getLogicalProcessorInformationEx(std::uint32_t relationship, void* buffer,
                                                  std::uint32_t& length) = 0;

    virtual bool globalMemoryStatus(MemoryStatus& out) = 0;
    // GetSystemTimes, in 100 ns units; kernel time includes idle time.
    virtual bool getSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user) = 0;
    // NtQuerySystemInformation; returns the NTSTATUS. *returnedSize is written on success.
    virtual std::int32_t ntQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t size,
                                                  std::uint32_t* returnedSize) = 0;
    // NtSetSystemInformation; returns the NTSTATUS.
    virtual std::int32_t ntSetSystemInformation(std::uint32_t infoClass, const void* buffer,
                                                std::uint32_t size) = 0;

    virtual void outputDebugString(const char* text) = 0;
    virtual void writeStdErr(std::string_view text) = 0;
    virtual void writeStdOut(std::string_view text) = 0;

    // Wide to narrow in the system's ANSI code page (WideCharToMultiByte(CP_ACP)).
    virtual std::string wideToAnsi(std::u16string_view text) = 0;
    // UTF-8 to UTF-16 (MultiByteToWideChar(CP_UTF8)); invalid sequences become U+FFFD.
    virtual std::u16string utf8ToWide(std::string_view text) = 0;
    // MultiByteToWideChar(CP_ACP, 0, ...): length -1 converts through the terminator;
    // outChars 0 asks for the size. Characters written (or needed), 0 on failure.
    virtual int ansiToWide(const char* text, int length, char16_t* out, int outChars) = 0;

    // NtSetTimerResolution; returns the NTSTATUS. `current` is written on success.
    virtual std::int32_t ntSetTimerResolution(std::uint32_t desired, bool set, std::uint32_t& current) = 0;
    // DnsFlushResolverCache of dnsapi.dll, loaded from the system folder for this call
    // and freed after it. The step that failed (None when the flush succeeded), with the
    // last error as that step left it: LoadLibrary's own, GetProcAddress's, or the
    // routine's (cleared before it, as the routine may fail without setting one).
    virtual DnsFlushStep dnsFlushResolverCache() = 0;
    // FormatMessageA from the system table, neutral language, inserts ignored: the text as
    // the system returns it; empty when it has none for the code.
    virtual std::string systemMessage(std::uint32_t code) = 0;
};

}  // namespace zk::platform
