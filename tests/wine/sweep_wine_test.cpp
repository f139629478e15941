// The bad-input sweep against the real DLL: each row's result, no handle left open (the
// second pass over every row ends with as many handles as the first), and no process but
// the ones the test owns changed. Rows that act on the whole machine run on the simulated
// machine only.

#include "wine_support.h"

#include <cstdio>

#include "sweep/sweep_row.h"

namespace {

DWORD unusedPid() {
    for (DWORD pid = 0x7FFFFFFC;; pid -= 4) {
        HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (!h) return pid;
        CloseHandle(h);
    }
}

TEST(SweepWineTest, EveryExportGivesItsResultForBadInput) {
    auto owned = zkw::startHelper(L"owned.exe", L"sleep");
    ASSERT_TRUE(owned);
    const zksweep::Env env{GetCurrentProcessId(), unusedPid(), owned->pid};
    const zksweep::Rows rows = zksweep::allRows();
    const auto before = zkw::processStates();
    DWORD handles[2] = {};
    int ran = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const zksweep::Row& row : rows) {
            if (row.machineWide) continue;
            EXPECT_TRUE(row.check(env)) << row.call << " should give: " << row.result;
            ran += pass == 0;
        }
        GetProcessHandleCount(GetCurrentProcess(), &handles[pass]);
    }
    EXPECT_EQ(handles[1], handles[0]) << "a row leaves a handle open";
    const auto after = zkw::processStates();
    for (const auto& [pid, state] : before) {
        const auto it = after.find(pid);
        if (pid != owned->pid && it != after.end()) {
            EXPECT_EQ(it->second, state) << "pid " << pid << " changed";
        }
    }
    std::printf("sweep: %d rows run, %zu on the simulated machine only\n", ran, rows.size() - ran);
}

}  // namespace
