// Unloading the library with its workers running: every library thread holds the module
// while it runs, so the host's FreeLibrary leaves the code in place until the workers are
// stopped, and the last FreeLibrary then unloads it with no library thread left. A copy
// of the DLL under another name is loaded here, so that the suite's own copy, loaded for
// the process's life, does not hold it.

#include "wine_support.h"

#include <tlhelp32.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kCopyName[] = L"ZelkorUnloadCopy.dll";

std::size_t threadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    std::size_t n = 0;
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        if (e.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snap);
    return n;
}

bool loaded() { return GetModuleHandleW(kCopyName) != nullptr; }

// Polls for up to two seconds: a worker leaves through FreeLibraryAndExitThread just after
// its stop has been answered.
template <typename Pred>
bool within2s(Pred pred) {
    for (int i = 0; i < 200; ++i) {
        if (pred()) return true;
        Sleep(10);
    }
    return pred();
}

class UnloadWineTest : public ::testing::Test {
protected:
    void SetUp() override {
        copy_ = zkhelper::binDir() + L"\\unload-copy\\";
        CreateDirectoryW(copy_.c_str(), nullptr);
        copy_ += kCopyName;
        ASSERT_TRUE(CopyFileW((zkhelper::binDir() + L"\\Zelkor.dll").c_str(), copy_.c_str(), FALSE));
        baseline_ = threadCount();
    }
    HMODULE load() { return LoadLibraryW(copy_.c_str()); }
    template <typename Fn>
    Fn fn(HMODULE m, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name)));
    }

    std::wstring copy_;
    std::size_t baseline_ = 0;
};

// Every kind of library thread a host can start under Wine: the sampler, two soft
// demotion engines, the disk log worker and the warmup pool. (The affinity child monitor
// needs more than four processors, which Wine's two do not give.)
TEST_F(UnloadWineTest, WorkersKeepTheLibraryUntilTheyAreStopped) {
    auto game = zkw::startHelper(L"unload_game.exe", L"sleep");
    ASSERT_TRUE(game);
    HMODULE m = load();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(fn<decltype(&QTM_Start)>(m, "QTM_Start")(), 1);
    SoftDemoteHandle engines[2] = {
        fn<decltype(&StartSoftDemoteV4)>(m, "StartSoftDemoteV4")("low", game->pid, 0),
        fn<decltype(&StartSoftDemoteV4)>(m, "StartSoftDemoteV4")("high", game->pid, 0)};
    EXPECT_TRUE(engines[0] && engines[1]);
    fn<decltype(&ZelkorRegisterDiskLogCallback)>(m, "ZelkorRegisterDiskLogCallback")(
        [](int32_t, const zk_wchar*) {});
    const std::wstring folder = zkhelper::binDir() + L"\\unload-copy";
    EXPECT_GE(fn<decltype(&ZelkorWarmupGameFolder)>(m, "ZelkorWarmupGameFolder")(
                  reinterpret_cast<const zk_wchar*>(folder.c_str())),
              1u);
    const std::size_t running = threadCount();
    EXPECT_GE(running, baseline_ + 8) << "the sampler, two engines, the disk log and four pool threads";

    FreeLibrary(m);
    EXPECT_TRUE(loaded()) << "running workers hold the library";
    EXPECT_EQ(threadCount(), running);
    HMODULE again = load();
    EXPECT_EQ(again, m) << "the same module, still loaded";
    fn<decltype(&QTM_Stop)>(again, "QTM_Stop")();
    for (SoftDemoteHandle e : engines) fn<decltype(&StopSoftDemoteV4)>(again, "StopSoftDemoteV4")(e);
    fn<decltype(&ZelkorShutdown)>(again, "ZelkorShutdown")();
    FreeLibrary(again);
    EXPECT_TRUE(within2s([] { return !loaded(); })) << "the last reference goes with the workers";
    EXPECT_TRUE(within2s([&] { return threadCount() == baseline_; }));
    std::printf("unload: %zu threads before, %zu with every worker running, %zu after the last FreeLibrary\n",
                baseline_, running, threadCount());
}

// Also a host that boosts with the affinity child monitor on (refused on Wine's two
// processors) and cleans up.
TEST_F(UnloadWineTest, AHostThatStopsEverythingFirstUnloadsAtOnce) {
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    HMODULE m = load();
    ASSERT_TRUE(m && game);
    const AffinityConfig monitored{30, 1, 10, 1, 300, 5000, 1, 100};
    fn<decltype(&Zelkor_Affinity_SetConfigC)>(m, "Zelkor_Affinity_SetConfigC")(&monitored);
    fn<decltype(&Zelkor_Affinity_ApplyBoostForPid)>(m, "Zelkor_Affinity_ApplyBoostForPid")(
        static_cast<int32_t>(game->pid));
    ASSERT_EQ(fn<decltype(&QTM_Start)>(m, "QTM_Start")(), 1);
    fn<decltype(&QTM_Stop)>(m, "QTM_Stop")();
    fn<decltype(&Zelkor_Affinity_Cleanup)>(m, "Zelkor_Affinity_Cleanup")();
    EXPECT_TRUE(within2s([&] { return threadCount() == baseline_; }));
    FreeLibrary(m);
    EXPECT_FALSE(loaded());
}

}  // namespace
