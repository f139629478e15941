// warmup FOLDER [--detail]: pulls the first 64 KiB of every file below FOLDER into the
// file cache; Ctrl+C cancels.

#include <windows.h>

#include <cstdio>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

decltype(&ZelkorCancelWarmup) g_cancel = nullptr;

BOOL WINAPI onCtrl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    if (g_cancel) g_cancel();
    return TRUE;
}

void __cdecl printDiskLine(int32_t level, const wchar_t* text) {
    (void)level;
    zkctl::printWideLine(text);
}

int runWarmup(const zkctl::Args& args) {
    if (args.empty() || (args.size() == 2 && args[1] != L"--detail") || args.size() > 2) {
        std::fprintf(stderr, "usage: zelkorctl warmup FOLDER [--detail]\n");
        return 2;
    }
    const DWORD attributes = GetFileAttributesW(args[0].c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "warmup: no folder %ls\n", args[0].c_str());
        return 1;
    }
    auto warm = ZK_LOAD(ZelkorWarmupGameFolder);
    auto level = ZK_LOAD(ZelkorSetDiskLogLevel);
    auto listen = ZK_LOAD(ZelkorRegisterDiskLogCallback);
    auto shutdown = ZK_LOAD(ZelkorShutdown);
    g_cancel = ZK_LOAD(ZelkorCancelWarmup);
    if (!warm || !level || !listen || !shutdown || !g_cancel) return 1;
    listen(&printDiskLine);
    level(args.size() == 2 ? 2 : 1);
    SetConsoleCtrlHandler(&onCtrl, TRUE);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    const uint32_t warmed = warm(args[0].c_str());
    QueryPerformanceCounter(&t1);
    shutdown();  // delivers every queued line before the log thread ends
    SetConsoleCtrlHandler(&onCtrl, FALSE);
    std::printf("warmed %u files in %.1f ms\n", warmed,
                static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart));
    return 0;
}

}  // namespace

ZKCTL_COMMAND(warmup, "warmup FOLDER [--detail]   warm the first 64 KiB of every file into the file cache",
              runWarmup);
