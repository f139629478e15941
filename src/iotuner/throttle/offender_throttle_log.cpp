#include "iotuner/throttle/offender_throttle_log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>

#include "iotuner/throttle/offender_throttle.h"
#include "platform/platform.h"

namespace zk::iotuner {

namespace {
constexpr int kLocalWideChars = 512;
}

void emitLine(ThrottleLogFn log, const char* text) {
    if (log) log(text);
}

void emitLinef(ThrottleLogFn log, const char* format, unsigned long value) {
    if (!log) return;
    char line[kThrottleLineBytes];
    std::snprintf(line, sizeof line, format, value);
    log(line);
}

void ZK_CALL wideLogAdapter(const char* text) {
    // MultiByteToWideChar refuses a null text too; this return keeps the adapter safe on its own.
    if (!text) return;
    auto& p = platform::system();
    const int needed = p.ansiToWide(text, -1, nullptr, 0);  // with the terminator
    if (needed <= 0) return;
    char16_t local[kLocalWideChars];
    std::unique_ptr<char16_t[]> heap;
    char16_t* wide = local;
    if (needed > kLocalWideChars) {
        heap.reset(new (std::nothrow) char16_t[static_cast<std::size_t>(needed)]);
        if (!heap) return;
        wide = heap.get();
    }
    if (p.ansiToWide(text, -1, wide, needed) <= 0) return;
    offenderThrottle().logWide(wide);
}

void OffenderThrottle::setLogCallback(ThrottleLogCallbackW cb) { logMark_.storeGuarded(logMutex_, logCallback_, cb); }

void OffenderThrottle::logWide(const char16_t* text) {
    if (callingBack()) return;  // it would wait forever on the lock its own thread holds
    std::lock_guard lk(logMutex_);
    if (!logCallback_) return;
    const common::CallbackMark::Scope inCallback(logMark_);
    logCallback_(reinterpret_cast<const zk_wchar*>(text));
}

}  // namespace zk::iotuner
