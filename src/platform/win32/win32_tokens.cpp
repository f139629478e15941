#include "platform/win32/win32_areas.h"

namespace zk::platform::win32 {

TokenHandle Win32Tokens::openProcessToken(std::uint32_t access) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), access, &token)) return {};
    return TokenHandle(&owner_, fromHandle(token));
}

bool Win32Tokens::lookupPrivilegeValue(const char* name, std::uint64_t& luid) {
    LUID l{};
    if (!LookupPrivilegeValueA(nullptr, name, &l)) return false;
    luid = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(l.HighPart)) << 32) | l.LowPart;
    return true;
}

bool Win32Tokens::adjustTokenPrivilege(const TokenHandle& token, std::uint64_t luid, bool enable) {
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid & 0xFFFFFFFFu);
    tp.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    return AdjustTokenPrivileges(toHandle(token), FALSE, &tp, sizeof tp, nullptr, nullptr) != FALSE;
}

bool Win32Tokens::getTokenElevation(const TokenHandle& token, bool& elevated) {
    TOKEN_ELEVATION e{};
    DWORD size = 0;
    if (!GetTokenInformation(toHandle(token), TokenElevation, &e, sizeof e, &size)) return false;
    elevated = e.TokenIsElevated != 0;
    return true;
}

}  // namespace zk::platform::win32
