// selftest: applies each module to helper processes and the machine, checks the effect,
// restores, and checks that everything is as it was. One row per module; the exit code is
// 1 when anything did not return.

#include <cstdio>

#include "command.h"
#include "library.h"
#include "selftest.h"

namespace {

using zkctl::selftest::Outcome;

void ZK_CALL quietNarrow(const char*) {}
void ZK_CALL quietWide(const zk_wchar*) {}

// The modules' lines would bury the table.
void silenceLogs() {
    if (auto f = ZK_LOAD(SetIOTunerLogCallback)) f(quietNarrow);
    if (auto f = ZK_LOAD(Zelkor_Throttle_SetLogCallbackW)) f(quietWide);
    if (auto f = ZK_LOAD(SetDriverlessLogCallback)) f(quietNarrow);
    if (auto f = ZK_LOAD(SetSoftDemoteLogCallback)) f(quietNarrow);
    if (auto f = ZK_LOAD(Zelkor_Restore_SetLogCallback)) f(quietWide);
}

const char* yesNo(bool b, Outcome::Verdict v) { return v == Outcome::Skipped ? "-" : b ? "yes" : "no"; }
const char* verdictWord(Outcome::Verdict v) { return v == Outcome::Pass ? "ok" : v == Outcome::Fail ? "FAIL" : "skipped"; }

int runSelftest(const zkctl::Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "selftest: takes no arguments\n");
        return 2;
    }
    if (!zkdll::library()) {
        zkdll::reportUnavailable("", zkdll::loadError());
        return 1;
    }
    silenceLogs();
    auto& h = zkctl::selftest::helpers();
    h.game = zkhelper::start(L"selftest_game.exe", L"sleep", false);
    h.background = zkhelper::start(L"selftest_bg.exe", L"sleep", true);

    std::vector<zkctl::selftest::Check> checks;
    zkctl::selftest::addPriorityChecks(checks);
    zkctl::selftest::addPowerChecks(checks);
    zkctl::selftest::addModuleChecks(checks);

    std::printf("%-22s %-8s %-9s %-8s %s\n", "module", "applied", "restored", "verdict", "what differs / why skipped");
    int failed = 0;
    for (const auto& c : checks) {
        Outcome o;
        try {
            o = c.run();
        } catch (...) {
            o = {Outcome::Fail, false, false, "the check threw"};
        }
        failed += o.verdict == Outcome::Fail;
        std::printf("%-22s %-8s %-9s %-8s %s\n", c.module, yesNo(o.applied, o.verdict), yesNo(o.restored, o.verdict),
                    verdictWord(o.verdict), o.note.c_str());
        std::fflush(stdout);
    }
    h.background.reset();
    h.game.reset();
    std::printf("%s\n", failed ? "selftest: something did not return" : "selftest: everything returned");
    return failed ? 1 : 0;
}

}  // namespace

ZKCTL_COMMAND(selftest, "selftest                 apply and restore each module on helper processes, one row each",
              runSelftest);
