// Folders, and files opened inside a folder handle and written through their own handle.
#include "platform/win32/win32_areas.h"

#include <winternl.h>

#include <cwchar>

namespace zk::platform::win32 {

namespace {

const wchar_t* wide(const char16_t* path) { return reinterpret_cast<const wchar_t*>(path); }

}  // namespace

bool Win32Files::createDirectory(const char16_t* path) { return CreateDirectoryW(wide(path), nullptr) != FALSE; }

std::int32_t Win32Files::ntCreateFileIn(const FileHandle& root, const char16_t* name, std::uint32_t access,
                                        std::uint32_t share, std::uint32_t disposition, std::uint32_t options,
                                        FileHandle& out) {
    const auto create = routines().ntCreateFile;
    if (!create) return win::STATUS_PROCEDURE_NOT_FOUND;
    const std::size_t chars = std::wcslen(wide(name));
    if (chars > 0x7FFF) return static_cast<std::int32_t>(STATUS_INVALID_PARAMETER);  // beyond a UNICODE_STRING
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(wide(name));
    text.Length = static_cast<USHORT>(chars * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, toHandle(root), nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const LONG status = create(&h, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                               options, nullptr, 0);
    if (win::ntSuccess(status)) out = FileHandle(&owner_, fromHandle(h));
    return status;
}

bool Win32Files::getFileInformation(const FileHandle& file, FileInformation& out) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(toHandle(file), &info)) return false;
    out.attributes = info.dwFileAttributes;
    out.links = info.nNumberOfLinks;
    return true;
}

bool Win32Files::writeFile(const FileHandle& file, std::string_view data, std::uint32_t& written) {
    if (data.size() > 0xFFFFFFFFu) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DWORD n = 0;
    if (!WriteFile(toHandle(file), data.data(), static_cast<DWORD>(data.size()), &n, nullptr)) return false;
    written = n;
    return true;
}

}  // namespace zk::platform::win32
