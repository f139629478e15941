#include "iotuner/throttle/offender_throttle.h"

#include <new>
#include <string>
#include <string_view>

#include "iotuner/throttle/offender_throttle_log.h"
#include "platform/platform.h"
#include "platform/privilege.h"
#include "platform/process_info.h"
#include "common/reset_registry.h"

namespace zk::iotuner {

namespace {

using platform::ProcessHandle;

constexpr std::uint32_t kThrottleAccess =
    win::PROCESS_SET_QUOTA | win::PROCESS_SET_INFORMATION | win::PROCESS_QUERY_INFORMATION;  // 0x0700
constexpr std::uint32_t kRestoreAccess = win::PROCESS_SET_INFORMATION | win::PROCESS_QUERY_INFORMATION;  // 0x0600
constexpr std::size_t kImagePathChars = 32768;
constexpr std::uint32_t kIoVeryLow = 0;
constexpr std::uint32_t kIoNormal = 2;

void setError(const OffenderRequest& r, std::uint32_t code) {
    if (r.lastError) *r.lastError = code;
}

// The image path is read with QueryFullProcessImageNameW, which needs only the
// query-information right both operations open with; reading the main module's name
// through the loader data would also need VM read, which they do not ask for.
bool imageMatches(const ProcessHandle& process, const char16_t* expected) {
    if (!expected || expected[0] == 0) return true;
    try {
        std::u16string path;
        if (!platform::processes().queryFullProcessImageName(process, path)) return false;
        if (path.empty() || path.size() >= kImagePathChars) return false;
        return path.find(std::u16string_view(expected)) != std::u16string::npos;
    } catch (const std::bad_alloc&) {
        return false;  // a path that cannot be held cannot be checked
    }
}

// The checks both operations share. An empty handle means: stop, result false.
ProcessHandle openTarget(OffenderThrottle& module, const OffenderRequest& r, std::uint32_t access,
                         const char* notActive) {
    auto& p = platform::processes();
    setError(r, win::ERROR_SUCCESS);
    if (r.pid == 0 || r.pid == win::kSystemPid || r.pid == p.currentProcessId()) {
        setError(r, win::ERROR_INVALID_PARAMETER);
        emitLine(r.log, "Invalid or protected PID");
        return {};
    }
    if (r.enableDebugPrivilege) module.debugPrivilege();
    ProcessHandle process = p.openProcess(access, false, r.pid);
    if (!process) {
        setError(r, platform::lastError());
        return {};
    }
    if (!imageMatches(process, r.expectedImage)) {
        setError(r, win::ERROR_ACCESS_DENIED);
        emitLine(r.log, "ValidateProcessImage failed / mismatch");
        return {};
    }
    std::uint32_t code = 0;
    if (!p.getExitCodeProcess(process, code) || code != win::STILL_ACTIVE) {
        emitLine(r.log, notActive);
        return {};
    }
    return process;
}

}  // namespace

bool OffenderThrottle::debugPrivilege() {
    // Only a privilege really granted counts, not an adjustment that left
    // ERROR_NOT_ALL_ASSIGNED behind.
    return debugPrivilege_.get([] { return platform::enablePrivilege("SeDebugPrivilege").enabled(); });
}

bool OffenderThrottle::ioPriorityRoutine() {
    return ioRoutine_.get([] { return platform::modules().hasRoutine(platform::Routine::NtSetInformationProcess); });
}

// What distinguishes the throttle from the restore.
struct OffenderOperation {
    std::uint32_t access;
    const char* notActive;
    std::uint32_t priorityClass;
    const char* priorityFailed;
    std::uint32_t ioPriority;
    const char* ioFailed;
    const char* allFailed;
};

constexpr OffenderOperation kThrottle{
    kThrottleAccess,
    "ThrottleOffenderByHandle: process not active",
    win::IDLE_PRIORITY_CLASS,
    "SetPriorityClass(IDLE_PRIORITY_CLASS) failed: %lu",
    kIoVeryLow,
    "NtSetInformationProcess(IO VeryLow) failed: 0x%08lX",
    "ThrottleOffenderByHandle: ALL actions failed"};

constexpr OffenderOperation kRestore{
    kRestoreAccess,
    "RestoreOffenderByHandle: process not active",
    win::NORMAL_PRIORITY_CLASS,
    "SetPriorityClass(NORMAL_PRIORITY_CLASS) failed: %lu",
    kIoNormal,
    "NtSetInformationProcess(IO Normal) failed: 0x%08lX",
    "RestoreOffenderByHandle: ALL actions failed"};

// Each action is attempted whatever became of the ones before; one that takes is enough.
bool OffenderThrottle::apply(const OffenderOperation& op, const OffenderRequest& r, bool trimWorkingSet) {
    const ProcessHandle process = openTarget(*this, r, op.access, op.notActive);
    if (!process) return false;
    auto& p = platform::processes();
    const ProcessHandle& h = process;
    bool any = p.setPriorityClass(h, op.priorityClass);
    if (!any) emitLinef(r.log, op.priorityFailed, static_cast<unsigned long>(platform::lastError()));
    if (ioPriorityRoutine()) {
        const std::int32_t status = platform::setIoPriority(h, op.ioPriority);
        if (win::ntSuccess(status))
            any = true;
        else
            emitLinef(r.log, op.ioFailed, static_cast<unsigned long>(static_cast<std::uint32_t>(status)));
    }
    if (trimWorkingSet) {
        if (p.emptyWorkingSet(h))
            any = true;
        else
            emitLinef(r.log, "EmptyWorkingSet failed: %lu", static_cast<unsigned long>(platform::lastError()));
    }
    if (!any) emitLine(r.log, op.allFailed);
    return any;
}

bool OffenderThrottle::throttle(const OffenderRequest& r, bool trimWorkingSet) {
    return apply(kThrottle, r, trimWorkingSet);
}

bool OffenderThrottle::restore(const OffenderRequest& r) { return apply(kRestore, r, false); }

void OffenderThrottle::resetForTests() {
    debugPrivilege_.reset();
    ioRoutine_.reset();
    setLogCallback(nullptr);
}

OffenderThrottle& offenderThrottle() {
    static OffenderThrottle* instance = new OffenderThrottle();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { offenderThrottle().resetForTests(); })

}  // namespace zk::iotuner
