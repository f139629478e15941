// The disk warmup in the real DLL: a real tree on a real file system, with files smaller
// than a view and empty ones. (Wine has no SysMain to toggle: the simulated machine shows
// the toggle, and a system without the service.)

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/win32/guarded_read.h"
#include "support/watchdog.h"
#include "wine_support.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder below the temporary folder, removed with everything in it at the end.
class Tree {
public:
    Tree() : root_(zkw::tempPath(L"zk_warm_" + std::to_wstring(GetCurrentProcessId()))) { fs::create_directory(root_); }
    ~Tree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    const std::wstring& root() const { return root_; }
    void dir(const std::wstring& rel) { fs::create_directory(root_ + L"\\" + rel); }
    bool file(const std::wstring& rel, DWORD size) {
        const fs::path p = root_ + L"\\" + rel;
        std::ofstream(p, std::ios::binary) << std::string(size, 'z');
        std::error_code ec;
        return fs::file_size(p, ec) == size;
    }
    // Every file below the root, relative.
    std::vector<std::wstring> files() const {
        std::vector<std::wstring> out;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.is_regular_file()) out.push_back(L"\\" + fs::relative(e.path(), root_).wstring());
        return out;
    }

private:
    std::wstring root_;
};

// Truncating a file fails (1224) while any view of it is mapped anywhere in the process.
DWORD truncateError(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    LARGE_INTEGER zero{};
    const DWORD error = SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) && SetEndOfFile(h) ? 0 : GetLastError();
    CloseHandle(h);
    return error;
}

TEST(DiskUnderWine, WarmsARealTreeWithSmallAndEmptyFiles) {
    auto warm = ZK_LOAD(ZelkorWarmupGameFolder);
    ASSERT_TRUE(warm);
    Tree t;
    t.dir(L"sub");
    t.dir(L"sub\\deep");
    t.dir(L".cache");
    for (auto [name, size] : {std::pair<const wchar_t*, DWORD>{L"big.pak", 200000}, {L"small.txt", 100},
                              {L"one.byte", 1}, {L"empty.dat", 0}, {L".hidden", 10}, {L".cache\\x", 10},
                              {L"sub\\a.bin", 70000}, {L"sub\\deep\\b.bin", 4096}})
        ASSERT_TRUE(t.file(name, size));
    EXPECT_EQ(warm(t.root().c_str()), 5u) << "every non-empty visible file, small ones included";
    for (const auto& f : t.files()) EXPECT_EQ(truncateError(t.root() + f), 0u) << "a view left mapped";
}

// A warmup started from the log callback while the host's warmup runs waits for its turn on
// the log thread. The host's shutdown, which waits for that thread, cancels the running
// warmup, which leaves no file mapped, and makes the waiting one give up.
decltype(&ZelkorWarmupGameFolder) g_warm = nullptr;
std::wstring g_secondFolder;
std::atomic<bool> g_secondStarted{false};
std::atomic<uint32_t> g_secondWarmed{99};
void ZK_CALL warmAgainOnceTheFirstHasItsTurn(int32_t, const zk_wchar* text) {
    if (std::wstring(reinterpret_cast<const wchar_t*>(text)) == L"[Zelkor] Context cleared." &&
        !g_secondStarted.exchange(true))
        g_secondWarmed = g_warm(g_secondFolder.c_str());
}

TEST(DiskUnderWine, AShutdownCancelsTheWarmupLeavingNoFileMappedAndTheWaitingOneGivesUp) {
    g_warm = ZK_LOAD(ZelkorWarmupGameFolder);
    auto listen = ZK_LOAD(ZelkorRegisterDiskLogCallback);
    auto level = ZK_LOAD(ZelkorSetDiskLogLevel);
    auto shutdown = ZK_LOAD(ZelkorShutdown);
    ASSERT_TRUE(g_warm && listen && level && shutdown);
    Tree t;
    for (int d = 0; d < 8; ++d) {
        t.dir(L"d" + std::to_wstring(d));
        for (int f = 0; f < 50; ++f) ASSERT_TRUE(t.file(L"d" + std::to_wstring(d) + L"\\f" + std::to_wstring(f), 70000));
    }
    DWORD whileMapped = 0;
    {
        // The check at the end means something only where a mapped view blocks truncation.
        const std::wstring probe = t.root() + L"\\d0\\f0";
        HANDLE f = CreateFileW(probe.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
        void* v = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 65536);
        CloseHandle(m);
        CloseHandle(f);
        whileMapped = truncateError(probe);
        UnmapViewOfFile(v);
        ASSERT_TRUE(t.file(L"d0\\f0", 70000));
    }
    g_secondFolder = t.root() + L"\\d0";
    listen(&warmAgainOnceTheFirstHasItsTurn);
    level(2);
    uint32_t first = 0;
    std::thread host([&] { first = g_warm(t.root().c_str()); });
    zk::test::mustReturn("ZelkorShutdown", [&] {
        while (!g_secondStarted) Sleep(1);
        Sleep(20);  // the second warmup is waiting for its turn by now
        shutdown();
    });
    host.join();
    listen(nullptr);
    EXPECT_LT(first, 400u) << "cancelled before the end";
    EXPECT_EQ(g_secondWarmed.load(), 0u) << "it gave up its turn";
    if (whileMapped != ERROR_USER_MAPPED_FILE) GTEST_SKIP() << "truncating a mapped file gives " << whileMapped;
    for (const auto& f : t.files()) EXPECT_EQ(truncateError(t.root() + f), 0u) << "a view left mapped";
}

// The warmup reads its views with a guarded read: a page that cannot be brought in is a
// failed call, not an exception that ends the host from a pool thread.
TEST(DiskUnderWine, AGuardedReadOfAMissingPageFailsWithoutRaising) {
    const void* never = reinterpret_cast<const void*>(0x1000);  // the first pages are never mapped
    EXPECT_FALSE(zk::platform::win32::readEveryPage(never, 8192));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
    std::vector<char> present(3 * 4096 + 1);
    EXPECT_TRUE(zk::platform::win32::readEveryPage(present.data(), present.size()));
}

}  // namespace
