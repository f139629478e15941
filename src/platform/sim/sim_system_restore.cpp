// The simulated machine's timer-resolution request, DNS cache, error texts and log files.
#include "platform/sim/sim_system.h"

namespace zk::sim {

namespace {

constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorPathNotFound = 3;

std::u16string lower(const char16_t* path) {
    std::u16string s = path ? path : u"";
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

std::u16string parentOf(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u'\\');
    return slash == std::u16string::npos ? std::u16string{} : path.substr(0, slash);
}

}  // namespace

std::int32_t SimSystem::ntSetTimerResolution(std::uint32_t desired, bool set, std::uint32_t& current) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtSetTimerResolution, Op::NtSetTimerResolution, &status)) return status;
    std::lock_guard lk(core_.m);
    current = 156250;  // the default 15.625 ms, in 100 ns units
    core_.record("NtSetTimerResolution " + std::to_string(desired) + (set ? " set" : " release"));
    return win::STATUS_SUCCESS;
}

bool SimSystem::dnsFlushResolverCache() {
    if (core_.missing(Routine::DnsFlushResolverCache)) return false;
    if (core_.failsWin32(Op::DnsFlushResolverCache)) return false;
    std::lock_guard lk(core_.m);
    core_.record("DnsFlushResolverCache");
    lastError() = win::ERROR_SUCCESS;
    return dnsFlushSucceeds;
}

std::string SimSystem::systemMessage(std::uint32_t code) {
    std::lock_guard lk(core_.m);
    auto it = messages.find(code);
    return it == messages.end() ? std::string{} : it->second;
}

bool SimSystem::createDirectory(const char16_t* path) {
    if (core_.failsWin32(Op::CreateDirectory)) return false;
    std::lock_guard lk(core_.m);
    const std::u16string p = lower(path);
    if (fileAttributes.count(p)) {
        lastError() = kErrorAlreadyExists;
        return false;
    }
    fileAttributes[p] = kFileAttributeDirectory;
    return true;
}

std::uint32_t SimSystem::getFileAttributes(const char16_t* path) {
    if (core_.failsWin32(Op::GetFileAttributes)) return platform::kInvalidFileAttributes;
    std::lock_guard lk(core_.m);
    auto it = fileAttributes.find(lower(path));
    if (it == fileAttributes.end()) {
        lastError() = win::ERROR_FILE_NOT_FOUND;
        return platform::kInvalidFileAttributes;
    }
    return it->second;
}

bool SimSystem::appendToFile(const char16_t* path, std::string_view text) {
    if (core_.failsWin32(Op::AppendToFile)) return false;
    std::lock_guard lk(core_.m);
    const std::u16string p = lower(path);
    auto folder = fileAttributes.find(parentOf(p));
    if (folder == fileAttributes.end() || !(folder->second & kFileAttributeDirectory)) {
        lastError() = kErrorPathNotFound;
        return false;
    }
    auto it = fileAttributes.find(p);
    if (it != fileAttributes.end() && (it->second & kFileAttributeDirectory)) {
        lastError() = win::ERROR_ACCESS_DENIED;
        return false;
    }
    fileAttributes.emplace(p, 0x80);  // FILE_ATTRIBUTE_NORMAL
    fileText[p].append(text);
    return true;
}

}  // namespace zk::sim
