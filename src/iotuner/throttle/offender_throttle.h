#pragma once
// The one-shot offender throttle (priority class idle, I/O priority very low, optional
// working-set trim) and its restore (normal class, normal I/O priority). Nothing is
// remembered about what was throttled: restore always sets the normal values.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "common/callback_mark.h"
#include "common/once_bool.h"
#include "zelkor.h"

namespace zk::iotuner {

struct OffenderOperation;  // throttle or restore

struct OffenderRequest {
    std::uint32_t pid = 0;
    bool enableDebugPrivilege = false;
    const char16_t* expectedImage = nullptr;  // null or empty: any image
    std::uint32_t* lastError = nullptr;
    ThrottleLogFn log = nullptr;
};

class OffenderThrottle {
public:
    bool throttle(const OffenderRequest& r, bool trimWorkingSet);
    bool restore(const OffenderRequest& r);
    // Once per process; true when the debug privilege is enabled.
    bool debugPrivilege();

    // The wide log channel (offender_throttle_log.cpp). From the callback itself the log
    // lock is the calling thread's already: a new callback is stored at once.
    void setLogCallback(ThrottleLogCallbackW cb);
    void logWide(const char16_t* text);
    // True on a thread inside the wide callback, which holds the log lock.
    bool callingBack() const { return logMark_.onThisThread(); }

    // Test-only: forget the once-only values and the callback.
    void resetForTests();

private:
    bool apply(const OffenderOperation& op, const OffenderRequest& r, bool trimWorkingSet);
    bool ioPriorityRoutine();

    common::OnceBool debugPrivilege_;
    common::OnceBool ioRoutine_;

    // Held while the callback runs, so that lines never interleave and a new callback
    // waits for one in progress.
    std::mutex logMutex_;
    ThrottleLogCallbackW logCallback_ = nullptr;
    common::CallbackMark logMark_;
};

// The process-wide throttle module.
OffenderThrottle& offenderThrottle();

}  // namespace zk::iotuner
