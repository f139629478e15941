#include "platform/win32/win32_areas.h"

namespace zk::platform::win32 {

TokenHandle Win32Tokens::openProcessTokenOf(const ProcessHandle& process, std::uint32_t access) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(toHandle(process), access, &token)) return {};
    return TokenHandle(&owner_, fromHandle(token));
}

bool Win32Tokens::getTokenUser(const TokenHandle& token, std::uint32_t bufferBytes, TokenUserSid& out) {
    // Pointer-aligned, as TOKEN_USER holds a pointer; at most the largest user record.
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    if (bufferBytes > sizeof buffer) bufferBytes = sizeof buffer;
    DWORD returned = 0;
    if (!GetTokenInformation(toHandle(token), TokenUser, buffer, bufferBytes, &returned)) return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
    const auto* sid = static_cast<const SID*>(user->User.Sid);
    TokenUserSid s;
    for (int i = 0; i < 6; ++i) s.authority[i] = sid->IdentifierAuthority.Value[i];
    s.subAuthorityCount = sid->SubAuthorityCount > 15 ? 15 : sid->SubAuthorityCount;
    for (int i = 0; i < s.subAuthorityCount; ++i) s.subAuthority[i] = sid->SubAuthority[i];
    out = s;
    return true;
}

}  // namespace zk::platform::win32
