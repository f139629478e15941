// Disk warmup and SysMain.
#include <climits>

#include "sweep_row.h"

namespace zksweep {

void addDiskRows(Rows& rows) {
    rows.push_back({"ZelkorWarmupGameFolder(NULL / \"\" / 64 K chars / lone surrogates)", "0", [](const Env&) {
                        auto fn = ZK_SWEEP(ZelkorWarmupGameFolder);
                        return fn(nullptr) == 0 && fn(wideEmpty()) == 0 && fn(wide64k()) == 0 &&
                               fn(wideSurrogates()) == 0;
                    }});
    rows.push_back({"ZelkorSetDiskLogLevel(INT_MIN / INT_MAX / 0), ZelkorCancelWarmup()", "0", [](const Env&) {
                        auto level = ZK_SWEEP(ZelkorSetDiskLogLevel);
                        return level(INT_MIN) == 0 && level(INT_MAX) == 0 && level(0) == 0 &&
                               ZK_SWEEP(ZelkorCancelWarmup)() == 0;
                    }});
    returns(rows, "ZelkorRegisterDiskLogCallback(NULL), ZelkorShutdown() twice", "nothing", [] {
        ZK_SWEEP(ZelkorRegisterDiskLogCallback)(nullptr);
        ZK_SWEEP(ZelkorShutdown)();
        ZK_SWEEP(ZelkorShutdown)();
    });
    rows.push_back({"ZelkorGetSysMainStatus()", "a service state, 0 to 7", [](const Env&) {
                        return ZK_SWEEP(ZelkorGetSysMainStatus)() <= 7;
                    }});
}

}  // namespace zksweep
