// The stateless restore and its log exports. The restore puts every user process back to
// normal priority and full affinity whatever its arguments: on the simulated machine only.
#include <limits>

#include "sweep_row.h"

namespace zksweep {

void addRestoreRows(Rows& rows) {
    rows.push_back({"Zelkor_Stateless_System_Restore(INT32_MIN / -1 / 2, INT32_MAX / 0)", "1 each time",
                    [](const Env&) {
                        auto restore = ZK_SWEEP(Zelkor_Stateless_System_Restore);
                        const bool ok = restore(std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max()) == 1 &&
                                        restore(-1, 0) == 1 && restore(2, 0) == 1;
                        ZK_SWEEP(Zelkor_StatelessRestore_ClearLogs)();
                        return ok;
                    },
                    true});
    rows.push_back({"Zelkor_StatelessRestore_PollLogA(NULL, 512) / (buf, 1 / 0 / -1 / INT32_MIN)",
                    "0, the queue untouched", [](const Env&) {
                        ZK_SWEEP(Zelkor_StatelessRestore_SetLogCallbackA)(nullptr);  // one line queued
                        const uint32_t before = ZK_SWEEP(Zelkor_StatelessRestore_GetQueuedLogCount)();
                        auto poll = ZK_SWEEP(Zelkor_StatelessRestore_PollLogA);
                        char buf[4] = {'#'};
                        bool ok = poll(nullptr, 512) == 0;
                        for (int32_t size : {1, 0, -1, std::numeric_limits<int32_t>::min()})
                            ok = ok && poll(buf, size) == 0 && buf[0] == '#';
                        ok = ok && before >= 1 && ZK_SWEEP(Zelkor_StatelessRestore_GetQueuedLogCount)() == before;
                        ZK_SWEEP(Zelkor_StatelessRestore_ClearLogs)();
                        return ok && ZK_SWEEP(Zelkor_StatelessRestore_GetQueuedLogCount)() == 0 &&
                               poll(buf, sizeof buf) == 0;
                    }});
}

}  // namespace zksweep
