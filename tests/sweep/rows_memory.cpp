// Memory relief.
#include <limits>

#include "sweep_row.h"

namespace zksweep {

void addMemoryRows(Rows& rows) {
    rows.push_back({"extreme_memory_clean(pid, NaN / -inf / 74.99, tag)", "0.0, nothing recorded", [](const Env& e) {
                        auto fn = ZK_SWEEP(extreme_memory_clean);
                        const MemoryStats before = ZK_SWEEP(get_memory_stats)();
                        const bool zero = fn(0, std::numeric_limits<double>::quiet_NaN(), nullptr) == 0.0 &&
                                          fn(e.missingPid, -std::numeric_limits<double>::infinity(), narrow64k()) == 0.0 &&
                                          fn(4, 74.99, e.ownPid ? &e : nullptr) == 0.0;
                        return zero && ZK_SWEEP(get_memory_stats)().calls == before.calls;
                    }});
    rows.push_back({"get_memory_stats(), reset_memory_stats(), ram_overseer_step(), clear_rights_cache()",
                    "statistics zeroed; the others do nothing", [](const Env&) {
                        ZK_SWEEP(reset_memory_stats)();
                        ZK_SWEEP(ram_overseer_step)();
                        ZK_SWEEP(clear_rights_cache)();
                        const MemoryStats s = ZK_SWEEP(get_memory_stats)();
                        return s.calls == 0 && s.totalFreedMb == 0.0 && s.lastCode == 0;
                    }});
    // The standby list is the machine's: the simulated machine only.
    rows.push_back({"extreme_memory_clean(missing pid, +inf, NULL)", "an amount (at least -5.0)",
                    [](const Env& e) {
                        return ZK_SWEEP(extreme_memory_clean)(e.missingPid, std::numeric_limits<double>::infinity(),
                                                              nullptr) >= -5.0;
                    },
                    true});
    // Only an image name excludes a process; one whose name cannot be read (pid 4, a
    // missing pid) is cleaned for.
    rows.push_back({"trim_process_working_set(0 / 4 / missing pid)", "an amount (at least -5.0)",
                    [](const Env& e) {
                        auto fn = ZK_SWEEP(trim_process_working_set);
                        return fn(0) >= -5.0 && fn(4) >= -5.0 && fn(e.missingPid) >= -5.0;
                    },
                    true});
}

}  // namespace zksweep
