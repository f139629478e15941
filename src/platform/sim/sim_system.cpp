#include "platform/sim/sim_system.h"

#include <cstring>
#include <stdexcept>

namespace zk::sim {

SimSystem::SimSystem(SimCore& core, const SimTokens& tokens) : core_(core), tokens_(tokens), groups_{8} {
    MemoryStatus ms;
    ms.memoryLoad = 40;
    ms.totalPhys = 16ull << 30;
    ms.availPhys = ms.totalPhys * 60 / 100;
    ms.totalPageFile = ms.totalVirtual = 32ull << 30;
    ms.availPageFile = ms.availVirtual = 20ull << 30;
    memory.push_back(ms);
}

void SimSystem::setLogicalProcessors(std::uint32_t total) {
    const std::uint32_t count = total == 0 ? 1 : (total + 63) / 64;
    std::vector<std::uint32_t> sizes(count, total / count);
    for (std::uint32_t i = 0; i < total % count; ++i) ++sizes[i];
    setGroups(std::move(sizes));
}

void SimSystem::setGroups(std::vector<std::uint32_t> sizes) {
    for (std::uint32_t n : sizes)
        if (n > 64) throw std::invalid_argument("a processor group holds at most 64 logical processors");
    groups_ = std::move(sizes);
}

std::uint32_t SimSystem::logicalProcessorCount() {
    std::lock_guard lk(core_.m);
    return currentGroupSize();
}

std::uint16_t SimSystem::activeProcessorGroupCount() {
    std::lock_guard lk(core_.m);
    return static_cast<std::uint16_t>(groups_.size());
}

std::uint32_t SimSystem::activeProcessorCount(std::uint16_t group) {
    std::lock_guard lk(core_.m);
    if (group == platform::kAllProcessorGroups) {
        std::uint32_t total = 0;
        for (std::uint32_t n : groups_) total += n;
        return total;
    }
    if (group >= groups_.size()) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return 0;
    }
    return groups_[group];
}

bool SimSystem::getLogicalProcessorInformationEx(std::uint32_t relationship, void* buffer, std::uint32_t& length) {
    if (core_.failsWin32(Op::GetLogicalProcessorInformationEx)) return false;
    std::lock_guard lk(core_.m);
    if (relationship != win::RelationProcessorCore) {  // the one relationship this machine models
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    const std::uint32_t need = physicalCores * kCoreRecordBytes;
    if (!buffer || length < need) {
        length = need;
        lastError() = win::ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::memset(out, 0, need);
    for (std::uint32_t i = 0; i < physicalCores; ++i) {
        unsigned char* record = out + i * kCoreRecordBytes;
        const std::uint32_t head[2] = {win::RelationProcessorCore, kCoreRecordBytes};  // Relationship, Size
        std::memcpy(record, head, sizeof head);
        record[8 + 22] = 1;  // GroupCount
        const std::uint64_t mask = 1ull << (i % 64);
        std::memcpy(record + 8 + 24, &mask, sizeof mask);  // GroupMask[0].Mask
    }
    length = need;
    return true;
}

bool SimSystem::globalMemoryStatus(MemoryStatus& out) {
    if (core_.failsWin32(Op::GlobalMemoryStatus)) return false;
    std::lock_guard lk(core_.m);
    out = memory.front();
    if (memory.size() > 1) memory.pop_front();
    return true;
}

std::int32_t SimSystem::ntQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t size,
                                                std::uint32_t* returnedSize) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtQuerySystemInformation, Op::NtQuerySystemInformation, &status)) return status;
    std::lock_guard lk(core_.m);
    if (infoClass != win::SystemPerformanceInformation) return win::STATUS_INVALID_INFO_CLASS;
    if (!buffer || size < kPerformanceInfoBytes) return win::STATUS_INFO_LENGTH_MISMATCH;
    std::memset(buffer, 0, kPerformanceInfoBytes);
    std::memcpy(static_cast<unsigned char*>(buffer) + 60, &pageFaults, sizeof pageFaults);  // PageFaultCount
    if (returnedSize) *returnedSize = kPerformanceInfoBytes;
    return win::STATUS_SUCCESS;
}

std::int32_t SimSystem::ntSetSystemInformation(std::uint32_t infoClass, const void* buffer, std::uint32_t size) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtSetSystemInformation, Op::NtSetSystemInformation, &status)) return status;
    std::lock_guard lk(core_.m);
    // Microsoft documents neither the memory-list class nor its commands; Windows refuses
    // them to a caller whose token has not enabled SeProfileSingleProcessPrivilege.
    if (infoClass == win::SystemMemoryListInformation && !tokens_.enabled("SeProfileSingleProcessPrivilege"))
        return win::STATUS_PRIVILEGE_NOT_HELD;
    std::uint32_t value = 0;
    if (buffer && size >= 4) std::memcpy(&value, buffer, 4);
    core_.record("NtSetSystemInformation " + std::to_string(infoClass) + " " + std::to_string(value));
    return win::STATUS_SUCCESS;
}

void SimSystem::outputDebugString(const char* text) {
    std::lock_guard lk(core_.m);
    debug.emplace_back(text ? text : "");
}

void SimSystem::writeStdErr(std::string_view text) {
    std::lock_guard lk(core_.m);
    stdErr.append(text);
}

void SimSystem::writeStdOut(std::string_view text) {
    std::lock_guard lk(core_.m);
    stdOut.append(text);
}

}  // namespace zk::sim
