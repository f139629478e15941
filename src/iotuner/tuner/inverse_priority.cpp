#include "iotuner/tuner/inverse_priority.h"

#include <string>

#include "iotuner/tuner/io_tuner.h"
#include "iotuner/tuner/process_snapshot.h"
#include "iotuner/tuner/protection_order.h"
#include "iotuner/tuner/tuner_log.h"
#include "platform/process_info.h"

namespace zk::iotuner {

namespace {

constexpr std::uint32_t kTargetIoPriority = 1;  // low
constexpr std::uint32_t kAssumedIoPriority = 2;  // normal, when it cannot be read

void logPid(std::string_view tag, std::uint32_t pid, std::string_view text) {
    std::string line(tag);
    line.append(" pid=").append(std::to_string(pid)).append(text);
    TunerLog(kInfo, line);
}

std::string named(std::string_view head, std::string_view name) {
    std::string s(head);
    s.append(name).push_back(')');
    return s;
}

}  // namespace

bool LowerIoPriority(std::uint32_t pid, std::string_view name, const OpenedProcess& process) {
    const RoutineSet routines = tuner().routines.resolve();
    if (!routines.ntSetInformationProcess) {
        logPid("[IO]", pid, " SKIPPED (NtSetInformationProcess unavailable)");
        return false;
    }
    if (!process.handle) {
        logPid("[IO]", pid,
               process.openError == win::ERROR_ACCESS_DENIED
                   ? std::string(" ACCESS_DENIED (OpenProcess)")
                   : " SKIPPED (OpenProcess error=" + std::to_string(process.openError) + ")");
        return false;
    }
    const platform::ProcessHandle& h = process.handle;
    if (RunsUnderWow64(routines, h)) {
        logPid("[IO]", pid, " SKIPPED (WOW64 process, 64-bit tuner)");
        return false;
    }
    std::uint32_t original = kAssumedIoPriority;
    bool recorded = false;
    if (routines.ntQueryInformationProcess) {
        std::uint32_t value = kAssumedIoPriority;
        if (platform::queryIoPriority(h, value) == win::STATUS_SUCCESS) {
            original = value;
            tuner().records.OriginalIoPriority.record(pid, original);
            recorded = true;
        }
        if (original <= kTargetIoPriority) {
            logPid("[IO]", pid, " SKIPPED (desired>=original, original=" + std::to_string(original) + ")");
            return false;
        }
    }
    const std::int32_t status = platform::setIoPriority(h, kTargetIoPriority);
    if (status != win::STATUS_SUCCESS) {
        logPid("[IO]", pid, " SKIPPED (NtSet status=" + std::to_string(status) + ")");
        return false;
    }
    // A level that could not be read is taken as normal, so that the restore still
    // undoes the change instead of leaving the process low for good.
    if (!recorded) tuner().records.OriginalIoPriority.record(pid, kAssumedIoPriority);
    logPid("[IO]", pid, named(" SUCCESS (new_level=1, name=", name));
    return true;
}

bool LowerCpuPriority(std::uint32_t pid, std::string_view name, const OpenedProcess& process) {
    auto& p = platform::processes();
    if (!process.handle) {
        logPid("[CPU]", pid, " SKIPPED (OpenProcess error=" + std::to_string(process.openError) + ")");
        return false;
    }
    const std::uint32_t cls = p.getPriorityClass(process.handle);
    if (cls == 0) {
        logPid("[CPU]", pid, " SKIPPED (GetPriorityClass failed)");
        return false;
    }
    tuner().records.OriginalCpuPriority.record(pid, cls);
    if (cls == win::IDLE_PRIORITY_CLASS) {
        logPid("[CPU]", pid, named(" ALREADY IDLE (name=", name));
        return false;
    }
    if (!p.setPriorityClass(process.handle, win::IDLE_PRIORITY_CLASS)) {
        logPid("[CPU]", pid, " SKIPPED (SetPriorityClass failed, err=" + std::to_string(platform::lastError()) + ")");
        return false;
    }
    logPid("[CPU]", pid, named(" SUCCESS (PriorityClass -> IDLE, name=", name));
    return true;
}

bool LowerProcess(std::uint32_t pid, std::string_view name) {
    // One handle serves both steps; the open's error is kept before logging can change it.
    OpenedProcess process{platform::processes().openProcess(kTunerAccess, false, pid), 0};
    if (!process.handle) process.openError = platform::lastError();
    const bool io = LowerIoPriority(pid, name, process);
    const bool cpu = LowerCpuPriority(pid, name, process);
    return io || cpu;
}

int ApplyInverseIo(std::uint32_t gamePid, bool aggressive, bool streamingMode, TunerExport caller) {
    IoTuner& t = tuner();
    t.privileges.ensure(caller);
    if (!t.rateLimit.allow(gamePid)) return -1;
    const ProcessSnapshot snapshot = TakeProcessSnapshot();
    if (snapshot.empty()) return 0;
    ProtectionRequest r{0, gamePid, platform::processes().currentProcessId(), aggressive, streamingMode};
    int lowered = 0;
    for (const ProcessEntry& e : snapshot.entries()) {
        r.pid = e.pid;
        if (CheckIds(r) != Refusal::None || CheckEntry(r, e, snapshot) != Refusal::None) continue;
        if (LowerProcess(e.pid, e.name)) ++lowered;
    }
    TunerLog(kInfo, "[IOTuner] Inverse IO+CPU applied to " + std::to_string(lowered) +
                        " processes (game pid=" + std::to_string(gamePid) +
                        ", streamingMode=" + (streamingMode ? "true" : "false") + ").");
    return lowered;
}

std::optional<std::string> ClearedForLowering(const ProtectionRequest& r) {
    Refusal refusal = CheckIds(r);
    const ProcessEntry* entry = nullptr;
    ProcessSnapshot snapshot;
    if (refusal == Refusal::None) {
        snapshot = TakeProcessSnapshot();
        refusal = CheckInSnapshot(r, snapshot, &entry);
    }
    if (refusal != Refusal::None) {
        logPid("[IO]", r.pid, RefusalText(refusal, entry ? entry->name : std::string_view()));
        return std::nullopt;
    }
    return entry->name;
}

int LowerSinglePid(std::uint32_t pid, std::uint32_t gamePid, std::uint32_t enginePid, bool aggressive,
                   bool streamingMode) {
    tuner().privileges.ensure(TunerExport::LowerSinglePid);
    const auto name = ClearedForLowering({pid, gamePid, enginePid, aggressive, streamingMode});
    return name && LowerProcess(pid, *name) ? 1 : 0;
}

}  // namespace zk::iotuner
