#include "selftest_log.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <mutex>

#include "library.h"
#include "selftest_snapshot.h"

namespace zkctl::selftest {

namespace {

std::mutex g_lock;
std::FILE* g_out = nullptr;  // null: lines are dropped

void write(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::lock_guard lk(g_lock);
    if (!g_out) return;
    std::fputs(line.c_str(), g_out);
    std::fputc('\n', g_out);
    std::fflush(g_out);
}

void ZK_CALL narrowLine(const char* line) { write(line ? line : ""); }
void ZK_CALL wideLine(const zk_wchar* line) { write(line ? utf8(line) : std::string()); }
void ZK_CALL diskLine(int32_t, const zk_wchar* line) { wideLine(line); }

void setCallbacks(bool on) {
    if (auto f = ZK_LOAD(SetIOTunerLogCallback)) f(on ? narrowLine : nullptr);
    if (auto f = ZK_LOAD(Zelkor_Throttle_SetLogCallbackW)) f(on ? wideLine : nullptr);
    if (auto f = ZK_LOAD(SetAffinityLogCallback)) f(on ? narrowLine : nullptr);
    if (auto f = ZK_LOAD(SetSoftDemoteLogCallback)) f(on ? narrowLine : nullptr);
    if (auto f = ZK_LOAD(SetDriverlessLogCallback)) f(on ? narrowLine : nullptr);
    if (auto f = ZK_LOAD(Zelkor_Restore_SetLogCallback)) f(on ? wideLine : nullptr);
    // Registering starts the disk log thread: only on the way in (the shutdown ends it).
    if (auto f = ZK_LOAD(ZelkorRegisterDiskLogCallback); f && on) f(diskLine);
    if (auto f = ZK_LOAD(ZelkorSetDiskLogLevel); f && on) f(1);
}

}  // namespace

bool LogSink::open(const std::optional<std::wstring>& file, bool verbose) {
    std::fflush(stderr);
    savedStdErr_ = _dup(2);
    if (file) {
        g_out = _wfopen(file->c_str(), L"w");
        if (!g_out) return false;
    } else if (verbose && savedStdErr_ >= 0) {
        g_out = _fdopen(_dup(savedStdErr_), "w");
    }
    const int nul = _open("NUL", _O_WRONLY);
    if (nul >= 0) {
        _dup2(nul, 2);
        _close(nul);
    }
    setCallbacks(true);
    callbacksSet_ = true;
    return true;
}

void LogSink::note(const std::string& line) { write("--- " + line); }

void LogSink::drainRestoreQueue() {
    auto poll = ZK_LOAD(Zelkor_StatelessRestore_PollLogA);
    char line[1024];
    while (poll && poll(line, sizeof line) == 1) write(line);
}

LogSink::~LogSink() {
    if (callbacksSet_) {
        // Delivers every queued disk line before its log thread ends.
        if (auto shutdown = ZK_LOAD(ZelkorShutdown)) shutdown();
        drainRestoreQueue();
        setCallbacks(false);
    }
    std::fflush(stderr);
    if (savedStdErr_ >= 0) {
        _dup2(savedStdErr_, 2);
        _close(savedStdErr_);
    }
    std::lock_guard lk(g_lock);
    if (g_out) std::fclose(g_out);
    g_out = nullptr;
}

}  // namespace zkctl::selftest
