#pragma once
// zelkorctl selftest: for each module, apply, check the effect on the real system,
// restore, and check that the machine is as it was. Steps the running system cannot
// perform are skipped with the reason.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "helper_launch.h"

namespace zkctl::selftest {

// What the self-test reads of a process.
struct ProcessState {
    DWORD priorityClass = 0;
    DWORD_PTR affinity = 0;
    std::optional<ULONG> ioPriority;  // none where the system cannot tell (Wine)
    bool operator==(const ProcessState&) const = default;
};
std::optional<ProcessState> readProcess(HANDLE process);
// "class 0x40 -> 0x20, affinity 0x1 -> 0x3" for what differs; empty when nothing does.
std::string describeDifference(const ProcessState& before, const ProcessState& after);
std::string hex(unsigned long long v);

struct Outcome {
    enum Verdict { Pass, Fail, Skipped };
    Verdict verdict = Pass;
    bool applied = false;
    bool restored = false;
    std::string note;  // what differs, or why a step was skipped

    static Outcome skipped(std::string why) { return {Skipped, false, false, std::move(why)}; }
};

struct Check {
    const char* module;
    std::function<Outcome()> run;
};

// Helper processes the checks act on: copies of zk_helper.exe, ended when the run ends.
struct Helpers {
    std::unique_ptr<zkhelper::Child> game;        // "selftest_game.exe"
    std::unique_ptr<zkhelper::Child> background;  // "selftest_bg.exe", nobody's child
};
Helpers& helpers();
inline DWORD pidOf(const std::unique_ptr<zkhelper::Child>& c) { return c ? c->pid : 0; }

// Each module's checks.
void addPriorityChecks(std::vector<Check>& checks);
void addPowerChecks(std::vector<Check>& checks);
void addModuleChecks(std::vector<Check>& checks);

// Applies `apply`, then `restore`, reading the process before, between and after: applied
// when `applied(before, between)` holds, restored when the state is back. Without a
// process, the background helper.
// The applied test of the modules that lower a process: it went to the idle class.
bool loweredToIdle(const ProcessState& before, const ProcessState& now);
using AppliedTest = std::function<bool(const ProcessState&, const ProcessState&)>;
Outcome processRoundTrip(HANDLE process, const std::function<bool()>& apply, const std::function<bool()>& restore,
                         const AppliedTest& applied);
Outcome processRoundTrip(const std::function<bool()>& apply, const std::function<bool()>& restore,
                         const AppliedTest& applied);

}  // namespace zkctl::selftest
