#pragma once
// Files, folders, directory enumeration and mapped views. Their handles (FindHandle,
// FileHandle, MappingHandle, ViewHandle) close with their own closers: FindClose,
// CloseHandle and UnmapViewOfFile. A view's raw handle is its base address.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/handles.h"

namespace zk::platform {

// The fields of WIN32_FIND_DATAW that callers read.
struct FindData {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;  // nFileSizeHigh:nFileSizeLow
    char16_t name[260] = {};
};

// The fields of BY_HANDLE_FILE_INFORMATION that callers read.
struct FileInformation {
    std::uint32_t attributes = 0;
    std::uint32_t links = 0;  // nNumberOfLinks: how many names the file has
};

// WIN32_MEMORY_RANGE_ENTRY.
struct MemoryRange {
    const void* start = nullptr;
    std::size_t bytes = 0;
};

class Files {
public:
    virtual ~Files() = default;

    // GetFileAttributesW; false (INVALID_FILE_ATTRIBUTES) with the last error.
    virtual bool getFileAttributes(const char16_t* path, std::uint32_t& attributes) = 0;
    // FindFirstFileExW with the basic information level, name matching and the
    // large-fetch flag. The end of the listing is ERROR_NO_MORE_FILES from findNextFile.
    virtual FindHandle findFirstFile(const char16_t* pattern, FindData& out) = 0;
    virtual bool findNextFile(const FindHandle& find, FindData& out) = 0;
    // CreateFileW: access, share mode, creation disposition, flags and attributes. A
    // junction or symbolic link met on the way is followed, the last one too unless the
    // flags hold FILE_FLAG_OPEN_REPARSE_POINT; a folder opens only with
    // FILE_FLAG_BACKUP_SEMANTICS.
    virtual FileHandle createFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) = 0;
    // NtCreateFile (resolved at run time) of `name` inside the folder open as `root`, its
    // RootDirectory: the name is looked up in the folder the handle holds, whatever its
    // path leads to by now. Disposition and options are NtCreateFile's, the attributes
    // FILE_ATTRIBUTE_NORMAL. Returns the NTSTATUS; `out` is set only on success.
    virtual std::int32_t ntCreateFileIn(const FileHandle& root, const char16_t* name, std::uint32_t access,
                                        std::uint32_t share, std::uint32_t disposition, std::uint32_t options,
                                        FileHandle& out) = 0;
    // CreateDirectoryW; ERROR_ALREADY_EXISTS when the name is taken.
    virtual bool createDirectory(const char16_t* path) = 0;
    // GetFileInformationByHandle; the handle needs FILE_READ_ATTRIBUTES.
    virtual bool getFileInformation(const FileHandle& file, FileInformation& out) = 0;
    // WriteFile, synchronous; the handle needs FILE_WRITE_DATA or FILE_APPEND_DATA (with
    // the latter alone every write lands at the end). `written` is set on success.
    virtual bool writeFile(const FileHandle& file, std::string_view data, std::uint32_t& written) = 0;
    // CreateFileMappingW over the whole file (maximum size 0), unnamed. The file needs the
    // read access the protection implies; an empty file cannot be mapped (1006).
    virtual MappingHandle createFileMapping(const FileHandle& file, std::uint32_t protect) = 0;
    // MapViewOfFile; a view may not reach past the end of the mapping.
    virtual ViewHandle mapViewOfFile(const MappingHandle& mapping, std::uint32_t access, std::uint64_t offset,
                                     std::size_t bytes) = 0;
    // PrefetchVirtualMemory (resolved at run time; ERROR_PROC_NOT_FOUND when missing).
    virtual bool prefetchVirtualMemory(const ProcessHandle& process, const MemoryRange* ranges,
                                       std::size_t count) = 0;
    // Reads every page of the first `bytes` of a view so that each is faulted in. A page
    // that cannot be read (an in-page error: a lost network drive, a failing device) is
    // reported as false with the last error instead of raising an exception.
    virtual bool touchPages(const ViewHandle& view, std::size_t bytes) = 0;
};

}  // namespace zk::platform
