#include <cstdlib>

#include "platform/sim/sim_tokens.h"

namespace zk::sim {

namespace {

// "S-1-5-21-..." to its parts; false when it is no SID.
bool parseSid(const std::string& text, platform::TokenUserSid& out) {
    if (text.rfind("S-1-", 0) != 0) return false;
    const char* p = text.c_str() + 4;
    char* end = nullptr;
    const unsigned long long authority = std::strtoull(p, &end, 10);
    if (end == p) return false;
    for (int i = 0; i < 6; ++i) out.authority[5 - i] = static_cast<std::uint8_t>(authority >> (8 * i));
    out.subAuthorityCount = 0;
    while (*end == '-' && out.subAuthorityCount < 15) {
        p = end + 1;
        out.subAuthority[out.subAuthorityCount++] = static_cast<std::uint32_t>(std::strtoul(p, &end, 10));
    }
    return *end == '\0';
}

}  // namespace

TokenHandle SimTokens::openProcessTokenOf(const platform::ProcessHandle& process, std::uint32_t access) {
    if (core_.failsWin32(Op::OpenProcessTokenOf)) return {};
    std::lock_guard lk(core_.m);
    const HandleInfo* p = core_.handle(process.get(), HandleKind::Process);
    if (!p) return {};
    if (!(p->access & (win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_QUERY_INFORMATION))) {
        lastError() = win::ERROR_ACCESS_DENIED;
        return {};
    }
    return newToken(p->pid, access);
}

bool SimTokens::getTokenUser(const TokenHandle& token, std::uint32_t bufferBytes, platform::TokenUserSid& out) {
    if (core_.failsWin32(Op::GetTokenUser)) return false;
    std::lock_guard lk(core_.m);
    const HandleInfo* info = tokenWith(token, win::TOKEN_QUERY);
    if (!info) return false;
    platform::TokenUserSid sid;
    if (!userSidOf || !parseSid(userSidOf(info->pid), sid)) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    // TOKEN_USER on x64: a pointer and the attributes (16 bytes), then the SID itself.
    const std::uint32_t needed = 16 + 8 + 4u * sid.subAuthorityCount;
    if (bufferBytes < needed) {
        lastError() = win::ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    out = sid;
    return true;
}

}  // namespace zk::sim
