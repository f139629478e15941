#include "selftest.h"

#include <cstdio>

namespace zkctl::selftest {

namespace {

constexpr ULONG kProcessIoPriority = 33;

using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

std::optional<ULONG> ioPriorityOf(HANDLE process) {
    static const auto query = reinterpret_cast<NtQueryInformationProcessFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    ULONG value = 0;
    if (!query || query(process, kProcessIoPriority, &value, sizeof value, nullptr) < 0) return std::nullopt;
    return value;
}

}  // namespace

std::string hex(unsigned long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", v);
    return buf;
}

std::optional<ProcessState> readProcess(HANDLE process) {
    ProcessState s;
    DWORD_PTR system = 0;
    s.priorityClass = GetPriorityClass(process);
    if (s.priorityClass == 0 || !GetProcessAffinityMask(process, &s.affinity, &system)) return std::nullopt;
    s.ioPriority = ioPriorityOf(process);
    return s;
}

std::string describeDifference(const ProcessState& before, const ProcessState& after) {
    std::string out;
    auto add = [&](const char* what, unsigned long long a, unsigned long long b) {
        if (a == b) return;
        if (!out.empty()) out += ", ";
        out += std::string(what) + " " + hex(a) + " -> " + hex(b);
    };
    add("class", before.priorityClass, after.priorityClass);
    add("affinity", before.affinity, after.affinity);
    if (before.ioPriority && after.ioPriority) add("I/O priority", *before.ioPriority, *after.ioPriority);
    return out;
}

Helpers& helpers() {
    static Helpers h;
    return h;
}

bool loweredToIdle(const ProcessState& before, const ProcessState& now) {
    return now.priorityClass == IDLE_PRIORITY_CLASS && before.priorityClass != IDLE_PRIORITY_CLASS;
}

Outcome processRoundTrip(const std::function<bool()>& apply, const std::function<bool()>& restore,
                         const AppliedTest& applied) {
    const auto& bg = helpers().background;
    if (!bg) return Outcome::skipped("the helper process could not be started");
    return processRoundTrip(bg->process, apply, restore, applied);
}

Outcome processRoundTrip(HANDLE process, const std::function<bool()>& apply, const std::function<bool()>& restore,
                         const AppliedTest& applied) {
    const auto before = readProcess(process);
    if (!before) return Outcome::skipped("the helper process cannot be read");
    Outcome o;
    const bool applyResult = apply();
    const auto between = readProcess(process);
    o.applied = applyResult && between && applied(*before, *between);
    const bool restoreResult = restore();
    const auto after = readProcess(process);
    o.restored = restoreResult && after && *after == *before;
    if (after && !(*after == *before)) o.note = describeDifference(*before, *after);
    if (!o.applied && o.note.empty()) o.note = between ? "no effect: " + describeDifference(*before, *between) : "";
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    if (!before->ioPriority) o.note += std::string(o.note.empty() ? "" : "; ") + "I/O priority skipped: this system cannot read it";
    return o;
}

}  // namespace zkctl::selftest
