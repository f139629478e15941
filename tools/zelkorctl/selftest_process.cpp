// The self-test's helper processes and the round trip of one module on one of them.
#include "selftest.h"

namespace zkctl::selftest {

std::optional<ProcessState> readProcess(HANDLE process) {
    ProcessState s;
    DWORD_PTR system = 0;
    s.priorityClass = GetPriorityClass(process);
    if (s.priorityClass == 0 || !GetProcessAffinityMask(process, &s.affinity, &system)) return std::nullopt;
    s.ioPriority = ioPriorityOf(process);
    return s;
}

std::pair<std::string, std::string> differingFields(const ProcessState& before, const ProcessState& after) {
    std::pair<std::string, std::string> out;
    auto add = [&](const char* what, unsigned long long a, unsigned long long b) {
        if (a == b) return;
        for (auto [side, v] : {std::pair{&out.first, a}, std::pair{&out.second, b}})
            side->append(side->empty() ? "" : ", ").append(what).append(" ").append(hex(v));
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

std::unique_ptr<zkhelper::Child> startHelper(const std::wstring& exeName, bool orphan) {
    auto c = zkhelper::start(exeName, L"sleep", orphan);
    if (c) helpers().pids.insert(c->pid);
    return c;
}

Outcome needsMachine() {
    return Outcome::skipped("changes the whole machine by design: runs only with `zelkorctl selftest --machine`");
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
                         const AppliedTest& applied, bool affinityHasRestore) {
    const auto before = readProcess(process);
    if (!before) return Outcome::skipped("the helper process cannot be read");
    Outcome o;
    const bool applyResult = apply();
    const auto between = readProcess(process);
    o.applied = applyResult && between && applied(*before, *between);
    const bool restoreResult = restore();
    auto after = readProcess(process);
    if (after && !affinityHasRestore) after->affinity = before->affinity;
    o.restored = restoreResult && after && *after == *before;
    if (!o.applied) o.note = between ? "no effect on the helper" : "the helper cannot be read";
    if (after && !(*after == *before)) {
        auto [was, now] = differingFields(*before, *after);
        o.differences.push_back({"the helper (pid " + std::to_string(GetProcessId(process)) + ")", std::move(was),
                                 std::move(now), Subject::PriorityClass, {}, 0});
    }
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

}  // namespace zkctl::selftest
