#pragma once
// zelkorctl selftest: for each module, apply, check the effect on the real system,
// restore, and check that the machine is as it was. Steps the running system cannot
// perform are skipped with the reason. The machine is recorded before the rows and
// compared after each row and at the end (selftest_snapshot.h).

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "helper_launch.h"
#include "selftest_snapshot.h"

namespace zkctl::selftest {

// What the self-test reads of one of its helper processes.
struct ProcessState {
    DWORD priorityClass = 0;
    DWORD_PTR affinity = 0;
    std::optional<ULONG> ioPriority;  // none where the system cannot tell (Wine)
    bool operator==(const ProcessState&) const = default;
};
std::optional<ProcessState> readProcess(HANDLE process);
// The fields that differ, each side as "class 0x40, affinity 0x1"; empty when none does.
std::pair<std::string, std::string> differingFields(const ProcessState& before, const ProcessState& after);

struct Outcome {
    enum Verdict { Pass, Fail, Skipped };
    Verdict verdict = Pass;
    bool applied = false;
    bool restored = false;
    std::string note;                      // why a step was skipped, or what the row says of itself
    std::vector<Difference> differences;  // what differs on the machine besides the helpers

    static Outcome skipped(std::string why) { return {Skipped, false, false, std::move(why), {}}; }
};

struct Context {
    bool machine = false;          // --machine: rows that change the whole machine run
    const MachineSnapshot& before;  // the machine before this row
};

struct Check {
    const char* module;
    std::function<Outcome(const Context&)> run;
    // Rows that change the whole machine by design run only with --machine. They say what
    // they will reset (printed before such a run) and which differences that covers.
    std::function<std::vector<std::string>(const MachineSnapshot&)> announce;
    std::function<bool(const Difference&)> covers;
};

// The skip of a whole-machine row in a default run.
Outcome needsMachine();

// Helper processes the checks act on: copies of zk_helper.exe, ended when the run ends.
struct Helpers {
    std::unique_ptr<zkhelper::Child> game;        // "selftest_game.exe"
    std::unique_ptr<zkhelper::Child> background;  // "selftest_bg.exe", nobody's child
    std::set<DWORD> pids;                         // every helper's, left out of the machine comparison
};
Helpers& helpers();
// Starts a helper (zkhelper::start) and notes its pid.
std::unique_ptr<zkhelper::Child> startHelper(const std::wstring& exeName, bool orphan);
inline DWORD pidOf(const std::unique_ptr<zkhelper::Child>& c) { return c ? c->pid : 0; }

// The service the service row stops and starts.
constexpr const wchar_t* kRowService = L"Spooler";
// Every service the machine comparison records: the row's and the stateless restore's list.
std::vector<std::wstring> recordedServices();

// Each module's checks.
void addPriorityChecks(std::vector<Check>& checks);
void addPowerChecks(std::vector<Check>& checks);
void addModuleChecks(std::vector<Check>& checks);
void addSoftDemotionCheck(std::vector<Check>& checks);
void addMachineChecks(std::vector<Check>& checks);

// Applies `apply`, then `restore`, reading the process before, between and after: applied
// when `applied(before, between)` holds, restored when the state is back (its affinity
// left out where the module has no restore for it). Without a process, the background
// helper.
// The applied test of the modules that lower a process: it went to the idle class.
bool loweredToIdle(const ProcessState& before, const ProcessState& now);
using AppliedTest = std::function<bool(const ProcessState&, const ProcessState&)>;
Outcome processRoundTrip(HANDLE process, const std::function<bool()>& apply, const std::function<bool()>& restore,
                         const AppliedTest& applied, bool affinityHasRestore = true);
Outcome processRoundTrip(const std::function<bool()>& apply, const std::function<bool()>& restore,
                         const AppliedTest& applied);

}  // namespace zkctl::selftest
