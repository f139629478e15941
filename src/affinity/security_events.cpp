#include "affinity/security_events.h"

#include "affinity/affinity_module.h"
#include "platform/platform.h"

namespace zk::affinity {

namespace {

// FILETIME of 1970-01-01 00:00 UTC.
constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ull;

}  // namespace

void SecurityEvents::record(SecurityEventKind kind, std::uint32_t pid, std::string name, std::string detail) {
    std::lock_guard lk(mutex_);
    // Events close together keep their order and spacing: the system time ticks only
    // every 15.6 ms or so, the precise one (where the system has it) does not.
    const std::uint64_t ft = platform::clocks().preciseSystemTimeAsFileTime();
    const auto ms = static_cast<std::int64_t>((ft - kUnixEpochFileTime) / 10000);
    events_.push_back({kind, pid, std::move(name), std::move(detail), ms});
    if (events_.size() > kCapacity) events_.pop_front();
}

void SecurityEvents::clear() {
    std::lock_guard lk(mutex_);
    events_.clear();
}

void RecordSecurityEvent(SecurityEventKind kind, std::uint32_t pid, std::string name, std::string detail) {
    affinity().events.record(kind, pid, std::move(name), std::move(detail));
}

}  // namespace zk::affinity
