// memory clean [load%] | trim PID | stats | selftest: the memory relief exports.

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

const char* meaning(double result) {
    if (result >= 0.0) return "MiB became available";
    if (result == -1.0) return "the process is excluded";
    if (result == -2.0) return "the first measurement failed";
    if (result == -3.0) return "the standby-list purge failed";
    if (result == -4.0) return "the second measurement failed";
    if (result == -5.0) return "the amount freed is out of range";
    return "unknown result";
}

int printStats() {
    auto stats = ZK_LOAD(get_memory_stats);
    if (!stats) return 1;
    const MemoryStats s = stats();
    std::printf("calls %llu, freed %.1f MiB in all, last code %d\n", static_cast<unsigned long long>(s.calls),
                s.totalFreedMb, s.lastCode);
    for (int code = 0; code < 100; ++code)
        if (s.codeCounts[code]) std::printf("  code %d: %d\n", code, s.codeCounts[code]);
    return 0;
}

int clean(const zkctl::Args& args) {
    double load;
    if (args.size() > 1) {
        wchar_t* end = nullptr;
        load = std::wcstod(args[1].c_str(), &end);
        if (args[1].empty() || *end != L'\0') {
            std::fprintf(stderr, "memory clean: the load must be a number (percent)\n");
            return 2;
        }
    } else {
        MEMORYSTATUSEX m{};
        m.dwLength = sizeof m;
        if (!GlobalMemoryStatusEx(&m)) {
            std::fprintf(stderr, "memory clean: cannot read the memory load (error %lu)\n", GetLastError());
            return 1;
        }
        load = m.dwMemoryLoad;
    }
    auto extremeClean = ZK_LOAD(extreme_memory_clean);
    if (!extremeClean) return 1;
    const double result = extremeClean(GetCurrentProcessId(), load, nullptr);
    std::printf("load %.1f%%: %.2f (%s)\n", load,
                result, load < 75.0 && result == 0.0 ? "below the 75% threshold, nothing done" : meaning(result));
    printStats();  // statistics live in this process only: show them while it lasts
    return result < 0.0 ? 1 : 0;
}

int trim(const zkctl::Args& args) {
    unsigned long pid = 0;
    if (args.size() < 2 || !zkctl::parseUnsigned(args[1], pid)) {
        std::fprintf(stderr, "memory trim: a process id is needed\n");
        return 2;
    }
    auto trimFor = ZK_LOAD(trim_process_working_set);
    if (!trimFor) return 1;
    const double result = trimFor(static_cast<uint32_t>(pid));
    std::printf("pid %lu: %.2f (%s)\n", pid, result, meaning(result));
    printStats();
    return result < 0.0 ? 1 : 0;
}

int runMemory(const zkctl::Args& args) {
    const std::wstring sub = args.empty() ? L"" : args[0];
    if (sub == L"clean") return clean(args);
    if (sub == L"trim") return trim(args);
    if (sub == L"stats") return printStats();
    if (sub == L"selftest") {
        auto selfTest = ZK_LOAD(self_test);
        if (!selfTest) return 1;
        const int ok = selfTest();
        std::printf("self test: %s\n", ok ? "passed" : "failed");
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: zelkorctl memory clean [load%%] | trim PID | stats | selftest\n");
    return 2;
}

}  // namespace

ZKCTL_COMMAND(memory, "memory clean [load%] | trim PID | stats | selftest   standby purge and its statistics",
              runMemory);
