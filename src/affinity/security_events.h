#pragma once
// The newest security events (signature verdicts, refused calls), oldest dropped first.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace zk::affinity {

enum class SecurityEventKind : std::uint32_t {
    SignatureAccepted = 0,
    SignatureRejected = 1,
    RateLimited = 2,
    SignatureCheckError = 3,
};

struct SecurityEvent {
    SecurityEventKind kind = SecurityEventKind::SignatureAccepted;
    std::uint32_t pid = 0;
    std::string name;
    std::string detail;
    std::int64_t timeMs = 0;  // wall clock, since the Unix epoch
};

class SecurityEvents {
public:
    static constexpr std::size_t kCapacity = 1000;

    void record(SecurityEventKind kind, std::uint32_t pid, std::string name, std::string detail);
    // Calls write(const SecurityEvent&, index) for the newest `max` events, newest first,
    // under the store's lock; returns how many.
    template <typename Write>
    std::size_t newest(std::size_t max, Write&& write) {
        std::lock_guard lk(mutex_);
        const std::size_t n = max < events_.size() ? max : events_.size();
        for (std::size_t i = 0; i < n; ++i) write(events_[events_.size() - 1 - i], i);
        return n;
    }
    void clear();

private:
    std::mutex mutex_;
    std::deque<SecurityEvent> events_;
};

void RecordSecurityEvent(SecurityEventKind kind, std::uint32_t pid, std::string name, std::string detail);

}  // namespace zk::affinity
