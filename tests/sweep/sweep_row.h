#pragma once
// The bad-input sweep: every export called with what a careless or hostile host might pass
// (null pointers; zero, negative and huge sizes; pids 0, 4, the caller's own and one that
// does not exist; empty strings, 64 K-character strings, lone surrogates; out-of-range
// values), each row with the result its module gives. The rows are compiled twice: in the
// simulated suite, where ZK_SWEEP(fn) is the export itself, and in the Wine suite, where it
// is the export of the real DLL.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "zelkor.h"

#ifdef _WIN32
#include "zelkor_exports.h"
#define ZK_SWEEP(fn) ZK_LOAD(fn)
#else
#define ZK_SWEEP(fn) (&::fn)
#endif

namespace zksweep {

struct Env {
    std::uint32_t ownPid = 0;      // the calling process
    std::uint32_t missingPid = 0;  // no process has it
    std::uint32_t ownedPid = 0;    // a process the test started (and may see changed)
};

struct Row {
    const char* call;    // the call, as a host would write it
    const char* result;  // what the module gives
    std::function<bool(const Env&)> check;  // makes the call; true when the result is that
    // The call acts on the whole machine whatever its input (a pass over every process, the
    // power scheme, the standby list): run on the simulated machine only.
    bool machineWide = false;
};
using Rows = std::vector<Row>;

// A row whose check is only that its calls return (nothing thrown, nothing crashed).
inline void returns(Rows& rows, const char* call, const char* result, void (*calls)()) {
    rows.push_back({call, result, [calls](const Env&) {
                        calls();
                        return true;
                    }});
}

// True when every result is 0 or 1.
inline bool zeroOrOne(std::initializer_list<std::int64_t> results) {
    for (const std::int64_t r : results)
        if (r != 0 && r != 1) return false;
    return true;
}

// Zero-terminated texts the rows pass; they live for the program's life.
const zk_wchar* wide64k();         // 65,536 'a'
const zk_wchar* wideSurrogates();  // "\xD800x\xDC00" and an unpaired high surrogate at the end
const char* narrow64k();
const zk_wchar* wideEmpty();

// Each module's rows.
void addStutterRows(Rows& rows);
void addThrottleRows(Rows& rows);
void addIoTunerRows(Rows& rows);
void addMemoryRows(Rows& rows);
void addPowerRows(Rows& rows);
void addDiskRows(Rows& rows);
void addAffinityRows(Rows& rows);
void addSoftDemoteRows(Rows& rows);
void addBoostUtilRows(Rows& rows);
void addRestoreRows(Rows& rows);

void addLifecycleRows(Rows& rows);

// Every row, module by module.
Rows allRows();

}  // namespace zksweep
