#include "affinity/signature_policy.h"

#include <exception>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "common/utf8_strict.h"
#include "platform/platform.h"

namespace zk::affinity {

bool SignatureVerdictCache::verdict(const std::u16string& path) {
    std::lock_guard lk(mutex_);
    const auto now = static_cast<std::int64_t>(platform::clocks().steadyNs());
    const std::int32_t configuredTtl = affinity().state.signatureCacheTtlSec();
    const std::int64_t ttl = configuredTtl <= 0 ? 300 : configuredTtl;
    if (auto it = entries_.find(path); it != entries_.end()) {
        if ((now - it->second.atNs) / 1000000000 < ttl) return it->second.verdict;
        entries_.erase(it);
    }
    // The verifier does not use its timeout yet; the default is kept for one that will.
    const std::int32_t configuredTimeout = affinity().state.signatureTimeoutMs();
    const bool v = VerifyImageSignature(path, configuredTimeout <= 0 ? 5000 : configuredTimeout);
    entries_.emplace(path, Entry{v, now});
    return v;
}

void SignatureVerdictCache::clear() {
    std::lock_guard lk(mutex_);
    entries_.clear();
}

bool VerifyImageSignature(std::u16string_view path, std::int32_t /*timeoutMs*/) {
    if (path.empty()) return false;
    std::string narrowed;
    narrowed.reserve(path.size());
    for (const char16_t unit : path) narrowed.push_back(static_cast<char>(unit & 0xFF));
    LogDebug("[Security] Signature verification stub active (fail-open) for: " + narrowed);
    return true;
}

std::u16string imagePathToWide(const std::string& path) {
    std::u16string wide = common::utf8ToUtf16Strict(path);
    if (!wide.empty() || path.empty()) return wide;
    const int needed = platform::system().ansiToWide(path.c_str(), -1, nullptr, 0);
    // The sizing call fails only by returning 0, and the second call would then fail alike.
    if (needed <= 0) return {};
    wide.resize(static_cast<std::size_t>(needed));
    const int written = platform::system().ansiToWide(path.c_str(), -1, wide.data(), needed);
    if (written <= 0) return {};
    wide.resize(static_cast<std::size_t>(written - 1));  // through the terminator
    return wide;
}

bool CheckSignaturePolicy(const ProcessHandle& target) {
    const std::string path = ImagePath(target);
    std::string name(baseNameOf(path));
    if (path.empty()) {
        RecordSecurityEvent(SecurityEventKind::SignatureRejected, target.pid, std::move(name), "Empty path");
        return false;
    }
    const bool verdict = affinity().verdicts.verdict(imagePathToWide(path));
    RecordSecurityEvent(verdict ? SecurityEventKind::SignatureAccepted : SecurityEventKind::SignatureRejected,
                        target.pid, std::move(name), path);
    return verdict;
}

GateResult signatureGate(std::uint32_t pid, const char* exportName) {
    if (!affinity().state.signaturePolicyEnabled()) return GateResult::Allowed;
    try {
        const ProcessHandle target = openForAffinity(pid);
        return CheckSignaturePolicy(target) ? GateResult::Allowed : GateResult::Rejected;
    } catch (...) {
        RecordSecurityEvent(SecurityEventKind::SignatureCheckError, pid, exportName, "Signature policy check failed");
        return GateResult::CheckFailed;
    }
}

}  // namespace zk::affinity
