#pragma once
// The signature policy that gates a new layout on the target's executable. Its verifier is
// fail-open: any readable image path is accepted; only an unreadable one is rejected.
// Every decision is recorded as a security event.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "affinity/process_utils.h"

namespace zk::affinity {

// Verdicts per wide image path, each kept for the configured lifetime.
class SignatureVerdictCache {
public:
    // The cached verdict, or the verifier's, which runs under the cache lock.
    bool verdict(const std::u16string& path);
    void clear();

private:
    struct Entry {
        bool verdict;
        std::int64_t atNs;
    };
    std::mutex mutex_;
    std::unordered_map<std::u16string, Entry> entries_;
};

bool VerifyImageSignature(std::u16string_view path, std::int32_t timeoutMs);
// The image path as UTF-8, else as the ANSI code page, else empty.
std::u16string imagePathToWide(const std::string& path);
// True when the target may be laid out.
bool CheckSignaturePolicy(const ProcessHandle& target);

enum class GateResult { Allowed, Rejected, CheckFailed };
// Runs the policy for pid when it is switched on; a failed check records its
// SignatureCheckError event under the export's short name.
GateResult signatureGate(std::uint32_t pid, const char* exportName);

}  // namespace zk::affinity
