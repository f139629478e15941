#pragma once
// The simulated machine as a whole: processor groups, memory readings, system
// information, the debugger and standard streams, and the code pages.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_core.h"
#include "platform/sim/sim_tokens.h"

namespace zk::sim {

using platform::MemoryStatus;

class SimSystem final : public platform::System {
public:
    SimSystem(SimCore& core, const SimTokens& tokens);

    // The size of this machine's SYSTEM_PERFORMANCE_INFORMATION; a smaller buffer is
    // refused, as on Windows.
    static constexpr std::uint32_t kPerformanceInfoBytes = 344;

    // The machine's side (caller holds the core lock).
    // Windows puts at most 64 logical processors in a group; larger counts are split
    // into groups as even as possible.
    void setLogicalProcessors(std::uint32_t total);
    void setGroups(std::vector<std::uint32_t> sizes);  // each 1 to 64
    std::uint32_t currentGroupSize() const { return groups_.empty() ? 0 : groups_[0]; }
    std::deque<MemoryStatus> memory;  // returned in order; the last one repeats
    std::uint32_t physicalCores = 4;  // processor core records of GetLogicalProcessorInformationEx
    // The size of one processor core record (SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX with
    // one GROUP_AFFINITY), as Windows reports it in the record's Size.
    static constexpr std::uint32_t kCoreRecordBytes = 48;
    std::vector<std::string> debug;
    std::string stdErr, stdOut;
    // The system-wide page-fault total, a counter of its own (it wraps at 2^32).
    std::uint32_t pageFaults = 0;
    // GetSystemTimes' totals in 100 ns units; kernel includes idle.
    std::uint64_t idleTime = 0, kernelTime = 0, userTime = 0;

    std::uint32_t logicalProcessorCount() override;
    std::uint16_t activeProcessorGroupCount() override;
    std::uint32_t activeProcessorCount(std::uint16_t group) override;
    bool getLogicalProcessorInformationEx(std::uint32_t relationship, void* buffer, std::uint32_t& length) override;
    bool globalMemoryStatus(MemoryStatus& out) override;
    bool getSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user) override;
    std::int32_t ntQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t size,
                                          std::uint32_t* returnedSize) override;
    std::int32_t ntSetSystemInformation(std::uint32_t infoClass, const void* buffer, std::uint32_t size) override;
    void outputDebugString(const char* text) override;
    void writeStdErr(std::string_view text) override;
    void writeStdOut(std::string_view text) override;
    std::string wideToAnsi(std::u16string_view text) override;
    std::u16string utf8ToWide(std::string_view text) override;
    int ansiToWide(const char* text, int length, char16_t* out, int outChars) override;
    std::int32_t ntSetTimerResolution(std::uint32_t desired, bool set, std::uint32_t& current) override;
    platform::DnsFlushStep dnsFlushResolverCache() override;
    std::string systemMessage(std::uint32_t code) override;
    std::map<std::uint32_t, std::string> messages;  // system message texts by code
    bool dnsFlushSucceeds = true;

private:
    SimCore& core_;
    const SimTokens& tokens_;  // the privileges of the calling process's token
    std::vector<std::uint32_t> groups_;  // the calling process runs in group 0
};

}  // namespace zk::sim
