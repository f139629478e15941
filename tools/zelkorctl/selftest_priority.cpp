// The modules that lower a process: the I/O tuner, the offender throttle and the hard
// quarantine, each undone by the restore the library offers for it.
#include "library.h"
#include "selftest.h"

namespace zkctl::selftest {

namespace {

Outcome ioTuner(const Context&) {
    auto lower = ZK_LOAD(Zelkor_IOTuner_LowerSinglePid);
    auto restore = ZK_LOAD(Zelkor_IOTuner_Restore);
    if (!lower || !restore) return Outcome::skipped("exports missing");
    const DWORD bg = pidOf(helpers().background), game = pidOf(helpers().game);
    return processRoundTrip([&] { return lower(bg, game, GetCurrentProcessId(), 1, 0) == 1; },
                            [&] {
                                restore();
                                return true;
                            },
                            loweredToIdle);
}

Outcome throttle(const Context&) {
    auto lower = ZK_LOAD(Zelkor_Throttle_OffenderW);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    if (!lower || !restore) return Outcome::skipped("exports missing");
    const DWORD bg = pidOf(helpers().background);
    return processRoundTrip([&] { return lower(bg, 0, 0, nullptr, nullptr) == 1; },
                            [&] { return restore(bg, 0, nullptr, nullptr) == 1; }, loweredToIdle);
}

// On a helper of its own: the quarantine's affinity mask has no restore but the stateless
// one, which would reset every process of the machine, so the helper is ended instead.
Outcome quarantine(const Context&) {
    auto quarantine = ZK_LOAD(Zelkor_HardQuarantine_Offender);
    auto tunerRestore = ZK_LOAD(Zelkor_IOTuner_Restore);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    if (!quarantine || !tunerRestore || !restore) return Outcome::skipped("exports missing");
    auto offender = startHelper(L"selftest_offender.exe", true);
    if (!offender || !helpers().game) return Outcome::skipped("the helper processes could not be started");
    const auto pid = static_cast<int32_t>(offender->pid);
    Outcome o = processRoundTrip(
        offender->process, [&] { return quarantine(pid, static_cast<int32_t>(helpers().game->pid)) == 1; },
        [&] {
            tunerRestore();  // puts back the class it recorded: below normal (the quarantine's own)
            return restore(offender->pid, 0, nullptr, nullptr) == 1;
        },
        [](const ProcessState& before, const ProcessState& now) {
            return now.affinity == 1 &&
                   (now.priorityClass == BELOW_NORMAL_PRIORITY_CLASS || now.priorityClass == IDLE_PRIORITY_CLASS) &&
                   (!now.ioPriority || !before.ioPriority || *now.ioPriority < *before.ioPriority);
        },
        false);
    o.note += std::string(o.note.empty() ? "" : "; ") +
              "the affinity mask has no restore of its own (only the stateless restore, which resets every "
              "process): the helper was ended instead";
    offender.reset();
    return o;
}

}  // namespace

void addPriorityChecks(std::vector<Check>& checks) {
    checks.push_back({"I/O tuner", ioTuner, {}, {}});
    checks.push_back({"offender throttle", throttle, {}, {}});
    checks.push_back({"hard quarantine", quarantine, {}, {}});
}

}  // namespace zkctl::selftest
