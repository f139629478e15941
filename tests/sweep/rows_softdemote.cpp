// Soft demotion.
#include <climits>

#include "sweep_row.h"

namespace zksweep {

void addSoftDemoteRows(Rows& rows) {
    returns(rows, "SetSoftDemoteLogCallback(NULL), StopSoftDemoteV4(NULL)", "nothing", [] {
        ZK_SWEEP(SetSoftDemoteLogCallback)(nullptr);
        ZK_SWEEP(StopSoftDemoteV4)(nullptr);
    });
    // An engine's first pass looks at every process: the simulated machine only.
    rows.push_back({"StartSoftDemoteV4(64 K tier / NULL, missing pid / 0, own pid / missing pid), each stopped "
                    "twice",
                    "a handle; the second stop does nothing",
                    [](const Env& e) {
                        bool ok = true;
                        for (const char* tier : {narrow64k(), static_cast<const char*>(nullptr)}) {
                            SoftDemoteHandle h = ZK_SWEEP(StartSoftDemoteV4)(tier, tier ? e.missingPid : 0,
                                                                             tier ? e.ownPid : e.missingPid);
                            ok = ok && h;
                            ZK_SWEEP(StopSoftDemoteV4)(h);
                            ZK_SWEEP(StopSoftDemoteV4)(h);
                        }
                        return ok;
                    },
                    true});
    rows.push_back({"StartSoftDemoteV4WithLayout(\"\", pids, NULL / {-1, INT_MAX} / count -5, INT_MIN reserved)",
                    "a handle", [](const Env& e) {
                        const int32_t cores[] = {-1, INT_MAX};
                        auto fn = ZK_SWEEP(StartSoftDemoteV4WithLayout);
                        bool ok = true;
                        for (SoftDemoteHandle h : {fn("", e.missingPid, e.ownPid, nullptr, 2, INT_MIN),
                                                   fn("", e.missingPid, e.ownPid, cores, 2, INT_MIN),
                                                   fn("", e.missingPid, e.ownPid, cores, -5, INT_MIN)}) {
                            ok = ok && h;
                            ZK_SWEEP(StopSoftDemoteV4)(h);
                        }
                        return ok;
                    },
                    true});
}

}  // namespace zksweep
