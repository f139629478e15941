// The I/O tuner and the hard quarantine.
#include "sweep_row.h"

namespace zksweep {

void addIoTunerRows(Rows& rows) {
    returns(rows, "SetIOTunerDebug(-1), SetIOTunerDebug(0)", "debug lines on, then off", [] {
        ZK_SWEEP(SetIOTunerDebug)(-1);
        ZK_SWEEP(SetIOTunerDebug)(0);
    });
    returns(rows, "SetIOTunerLogCallback(NULL)", "delivery stops", [] { ZK_SWEEP(SetIOTunerLogCallback)(nullptr); });
    // The caller's own pid is refused only as the engine: a host that passes its own pid with
    // enginePid 0 lowers itself, as it asked.
    rows.push_back({"Zelkor_IOTuner_LowerSinglePid(0 / 4 / missing / own with enginePid own / owned as the game "
                    "/ owned as the engine, ...)",
                    "0", [](const Env& e) {
                        auto fn = ZK_SWEEP(Zelkor_IOTuner_LowerSinglePid);
                        return fn(0, 0, 0, 1, 1) == 0 && fn(4, e.missingPid, 0, -1, -1) == 0 &&
                               fn(e.missingPid, 0, 0, 0, 0) == 0 && fn(e.ownPid, e.missingPid, e.ownPid, 1, 0) == 0 &&
                               fn(e.ownedPid, e.ownedPid, 0, 1, 0) == 0 && fn(e.ownedPid, 0, e.ownedPid, 1, 0) == 0;
                    }});
    rows.push_back({"Zelkor_HardQuarantine_Offender(0 / 4, ...), (own / missing / -8 / game itself, ...)", "-1, 0",
                    [](const Env& e) {
                        auto fn = ZK_SWEEP(Zelkor_HardQuarantine_Offender);
                        const auto own = static_cast<int32_t>(e.ownPid), owned = static_cast<int32_t>(e.ownedPid);
                        const auto missing = static_cast<int32_t>(e.missingPid);
                        return fn(0, 0) == -1 && fn(4, missing) == -1 && fn(own, 0) == 0 && fn(missing, -1) == 0 &&
                               fn(-8, 0) == 0 && fn(owned, owned) == 0;
                    }});
    returns(rows, "Zelkor_IOTuner_Restore() with nothing recorded", "returns", [] {
        ZK_SWEEP(Zelkor_IOTuner_Restore)();
    });
    // A pass over every process whatever the game pid: the simulated machine only.
    rows.push_back({"Zelkor_IOTuner_ApplyInverseIoEx(missing pid, -1, -1) / ApplyInverseIo(0, 0), each then "
                    "Zelkor_IOTuner_Restore()",
                    "the number lowered (at least 0), everything put back",
                    [](const Env& e) {
                        const int32_t n = ZK_SWEEP(Zelkor_IOTuner_ApplyInverseIoEx)(e.missingPid, -1, -1);
                        ZK_SWEEP(Zelkor_IOTuner_Restore)();
                        const int32_t m = ZK_SWEEP(Zelkor_IOTuner_ApplyInverseIo)(0, 0);
                        ZK_SWEEP(Zelkor_IOTuner_Restore)();
                        return n >= 0 && m >= 0;
                    },
                    true});
}

}  // namespace zksweep
