#include "platform/win32/win32_areas.h"

#include "platform/win32/guarded_read.h"

#include <cstring>

namespace zk::platform::win32 {

namespace {

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

void copyFindData(const WIN32_FIND_DATAW& in, FindData& out) {
    out.attributes = in.dwFileAttributes;
    out.size = (static_cast<std::uint64_t>(in.nFileSizeHigh) << 32) | in.nFileSizeLow;
    static_assert(sizeof out.name == sizeof in.cFileName);
    std::memcpy(out.name, in.cFileName, sizeof out.name);
}

}  // namespace

bool Win32Files::getFileAttributes(const char16_t* path, std::uint32_t& attributes) {
    const DWORD a = GetFileAttributesW(wide(path));
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    attributes = a;
    return true;
}

FindHandle Win32Files::findFirstFile(const char16_t* pattern, FindData& out) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW(wide(pattern), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return {};
    copyFindData(data, out);
    return FindHandle(&owner_, fromHandle(h));
}

bool Win32Files::findNextFile(const FindHandle& find, FindData& out) {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(toHandle(find), &data)) return false;
    copyFindData(data, out);
    return true;
}

FileHandle Win32Files::createFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) {
    return FileHandle(&owner_, fromHandle(CreateFileW(wide(path), access, share, nullptr, disposition, flags,
                                                      nullptr)));
}

MappingHandle Win32Files::createFileMapping(const FileHandle& file, std::uint32_t protect) {
    return MappingHandle(&owner_, fromHandle(CreateFileMappingW(toHandle(file), nullptr, protect, 0, 0, nullptr)));
}

ViewHandle Win32Files::mapViewOfFile(const MappingHandle& mapping, std::uint32_t access, std::uint64_t offset,
                                     std::size_t bytes) {
    void* base = MapViewOfFile(toHandle(mapping), access, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset), bytes);
    return ViewHandle(&owner_, reinterpret_cast<RawHandle>(base));
}

bool Win32Files::prefetchVirtualMemory(const ProcessHandle& process, const MemoryRange* ranges,
                                       std::size_t count) {
    static_assert(sizeof(MemoryRange) == sizeof(WIN32_MEMORY_RANGE_ENTRY));
    const auto prefetch = routines().prefetchVirtualMemory;
    if (!prefetch) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    return prefetch(toHandle(process), count,
                    reinterpret_cast<PWIN32_MEMORY_RANGE_ENTRY>(const_cast<MemoryRange*>(ranges)), 0) != FALSE;
}

bool Win32Files::touchPages(const ViewHandle& view, std::size_t bytes) {
    // Plain reads, each thread faulting its own pages in: reading through the kernel
    // (ReadProcessMemory) would also turn faults into failures, but under Wine every such
    // read is a round trip to the one server thread, which serialises the whole warmup.
    return readEveryPage(reinterpret_cast<const void*>(view.get()), bytes);
}

}  // namespace zk::platform::win32
