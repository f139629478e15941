#pragma once
// Files, directory enumeration and mapped views. Their handles (FindHandle, FileHandle,
// MappingHandle, ViewHandle) close with their own closers: FindClose, CloseHandle and
// UnmapViewOfFile. A view's raw handle is its base address.

#include <cstddef>
#include <cstdint>

#include "platform/handles.h"

namespace zk::platform {

// The fields of WIN32_FIND_DATAW that callers read.
struct FindData {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;  // nFileSizeHigh:nFileSizeLow
    char16_t name[260] = {};
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
    // CreateFileW: access, share mode, creation disposition, flags and attributes.
    virtual FileHandle createFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) = 0;
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
