// The modules that lower a process: the I/O tuner, the offender throttle and the hard
// quarantine, each undone by the restore the library offers for it.
#include "library.h"
#include "selftest.h"

namespace zkctl::selftest {

void addPriorityChecks(std::vector<Check>& checks) {
    checks.push_back({"I/O tuner", [] {
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
                      }});
    checks.push_back({"offender throttle", [] {
                          auto throttle = ZK_LOAD(Zelkor_Throttle_OffenderW);
                          auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
                          if (!throttle || !restore) return Outcome::skipped("exports missing");
                          const DWORD bg = pidOf(helpers().background);
                          return processRoundTrip([&] { return throttle(bg, 0, 0, nullptr, nullptr) == 1; },
                                                  [&] { return restore(bg, 0, nullptr, nullptr) == 1; }, loweredToIdle);
                      }});
}

}  // namespace zkctl::selftest
