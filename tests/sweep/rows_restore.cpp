// The stateless restore's log exports. The restore itself has no row: putting every user
// process back to normal priority and full affinity is its job, whatever its arguments.
#include <limits>

#include "sweep_row.h"

namespace zksweep {

void addRestoreRows(Rows& rows) {
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
