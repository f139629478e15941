// What a module needs to keep a log file: a folder, attributes, appending, error texts.
#include "platform/win32/win32_areas.h"

namespace zk::platform::win32 {

namespace {

const wchar_t* wide(const char16_t* path) { return reinterpret_cast<const wchar_t*>(path); }

}  // namespace

std::string Win32System::systemMessage(std::uint32_t code) {
    char buf[1024];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buf, sizeof buf, nullptr);
    return std::string(buf, n);
}

bool Win32System::createDirectory(const char16_t* path) { return CreateDirectoryW(wide(path), nullptr) != FALSE; }

std::uint32_t Win32System::getFileAttributes(const char16_t* path) { return GetFileAttributesW(wide(path)); }

bool Win32System::appendToFile(const char16_t* path, std::string_view text) {
    HANDLE h = CreateFileW(wide(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const FileHandle file(&defaultPlatform(), fromHandle(h));
    DWORD written = 0;
    const BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return ok && written == text.size();
}

}  // namespace zk::platform::win32
