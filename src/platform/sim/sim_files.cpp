#include "platform/sim/sim_files.h"

#include <algorithm>

namespace zk::sim {

using platform::FileHandle;
using platform::FindHandle;
using platform::MappingHandle;
using platform::ViewHandle;

namespace {

FindData findData(std::u16string_view name, const SimFsEntry& e) {
    FindData d;
    d.attributes = e.attributes;
    d.size = e.isDirectory() ? 0 : e.size;
    const std::size_t n = std::min(name.size(), std::size(d.name) - 1);
    std::copy_n(name.begin(), n, d.name);
    return d;
}

constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;

// The share flags an access needs of the other opens of its file: reading (FILE_READ_DATA,
// FILE_EXECUTE and the generic rights holding them) needs FILE_SHARE_READ, writing or
// appending FILE_SHARE_WRITE, DELETE FILE_SHARE_DELETE. Attributes alone need none.
std::uint32_t sharingNeeded(std::uint32_t access) {
    constexpr std::uint32_t kGenericAll = 0x10000000, kGenericExecute = 0x20000000, kGenericWrite = 0x40000000;
    std::uint32_t needed = 0;
    if (access & (win::GENERIC_READ | kGenericExecute | kGenericAll | 0x0001 | 0x0020)) needed |= win::FILE_SHARE_READ;
    if (access & (kGenericWrite | kGenericAll | 0x0002 | 0x0004)) needed |= win::FILE_SHARE_WRITE;
    if (access & (kGenericAll | 0x00010000)) needed |= win::FILE_SHARE_DELETE;
    return needed;
}

bool fail(std::uint32_t code) {
    lastError() = code;
    return false;
}

template <typename H>
H failed(std::uint32_t code) {
    lastError() = code;
    return H{};
}

}  // namespace

SimFsEntry& SimFiles::add(std::u16string path, std::uint32_t attributes, std::uint64_t size) {
    SimFsEntry& e = entries_[std::move(path)];
    e.attributes = attributes;
    e.size = size;
    return e;
}

SimFsEntry* SimFiles::find(std::u16string_view path) {
    auto it = entries_.find(path);
    return it == entries_.end() ? nullptr : &it->second;
}

SimFiles::Open* SimFiles::open(RawHandle h, HandleKind k) {
    if (!core_.handle(h, k)) return nullptr;
    return &opens_[h];
}

// Windows lists "." and ".." first, then the entries (here in path order).
std::vector<FindData> SimFiles::list(const std::u16string& dir) {
    const PathLess less;
    std::vector<FindData> out;
    SimFsEntry dot;
    dot.attributes = win::FILE_ATTRIBUTE_DIRECTORY;
    out.push_back(findData(u".", dot));
    out.push_back(findData(u"..", dot));
    const std::u16string prefix = dir + u'\\';
    std::vector<FindData> twice;
    for (auto it = entries_.lower_bound(prefix); it != entries_.end(); ++it) {
        const std::u16string& p = it->first;
        const std::u16string_view head = std::u16string_view(p).substr(0, prefix.size());
        if (less(head, prefix) || less(prefix, head)) break;
        const std::u16string_view name = std::u16string_view(p).substr(prefix.size());
        if (name.empty() || name.find(u'\\') != std::u16string_view::npos) continue;
        out.push_back(findData(name, it->second));
        if (it->second.listedTwice) twice.push_back(out.back());
    }
    out.insert(out.end(), twice.begin(), twice.end());
    return out;
}

// "Creating and Opening Files": an open fails with ERROR_SHARING_VIOLATION when a handle
// open on the file does not share the access it asks for, or when its own share mode
// does not allow the access an open handle has. An open for attributes only (no read,
// write or delete access) takes part in neither check, and sharing ends with the last
// file handle, even while a mapping or view of the file stays.
bool SimFiles::sharingViolation(const std::u16string& path, std::uint32_t access, std::uint32_t share) {
    if (sharingNeeded(access) == 0) return false;
    for (const auto& [h, o] : opens_) {
        auto live = core_.handles.find(h);
        if (live == core_.handles.end() || live->second.kind != HandleKind::File || PathLess{}(o.path, path) ||
            PathLess{}(path, o.path))
            continue;
        if (sharingNeeded(o.access) == 0) continue;
        if ((sharingNeeded(access) & ~o.share) || (sharingNeeded(o.access) & ~share)) return true;
    }
    return false;
}

bool SimFiles::getFileAttributes(const char16_t* path, std::uint32_t& attributes) {
    if (core_.failsWin32(Op::GetFileAttributes)) return false;
    std::lock_guard lk(core_.m);
    const SimFsEntry* e = path ? find(path) : nullptr;
    if (!e) return fail(win::ERROR_FILE_NOT_FOUND);
    attributes = e->attributes;
    return true;
}

FindHandle SimFiles::findFirstFile(const char16_t* pattern, FindData& out) {
    if (core_.failsWin32(Op::FindFirstFile)) return {};
    std::lock_guard lk(core_.m);
    const std::u16string_view p = pattern ? std::u16string_view(pattern) : std::u16string_view();
    if (p.size() < 2 || p.substr(p.size() - 2) != u"\\*") return failed<FindHandle>(win::ERROR_INVALID_PARAMETER);
    const std::u16string dir(p.substr(0, p.size() - 2));
    const SimFsEntry* e = find(dir);
    if (!e || !e->isDirectory()) return failed<FindHandle>(win::ERROR_PATH_NOT_FOUND);
    if (e->enumError) return failed<FindHandle>(e->enumError);
    HandleInfo info;
    info.kind = HandleKind::Find;
    info.cursor = 1;
    const RawHandle h = core_.newHandle(std::move(info));
    Open& o = opens_[h];
    o.path = dir;
    o.listing = list(dir);
    out = o.listing.front();
    return FindHandle(&owner_, h);
}

bool SimFiles::findNextFile(const FindHandle& find, FindData& out) {
    if (core_.failsWin32(Op::FindNextFile)) return false;
    std::lock_guard lk(core_.m);
    Open* o = open(find.get(), HandleKind::Find);
    if (!o) return false;
    std::size_t& cursor = core_.handle(find.get(), HandleKind::Find)->cursor;
    if (cursor >= o->listing.size()) return fail(win::ERROR_NO_MORE_FILES);
    out = o->listing[cursor++];
    return true;
}

FileHandle SimFiles::createFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                std::uint32_t disposition, std::uint32_t flags) {
    if (core_.failsWin32(Op::CreateFile)) return {};
    std::lock_guard lk(core_.m);
    // The one disposition modelled.
    if (disposition != win::OPEN_EXISTING) return failed<FileHandle>(win::ERROR_INVALID_PARAMETER);
    std::u16string resolved;
    if (!resolve({}, path ? path : u"", !(flags & win::FILE_FLAG_OPEN_REPARSE_POINT), resolved))
        return failed<FileHandle>(win::ERROR_CANT_RESOLVE_FILENAME);
    const SimFsEntry* e = find(resolved);
    if (!e) return failed<FileHandle>(win::ERROR_FILE_NOT_FOUND);
    // A directory opens only with backup semantics.
    if (e->isDirectory() && !(flags & win::FILE_FLAG_BACKUP_SEMANTICS))
        return failed<FileHandle>(win::ERROR_ACCESS_DENIED);
    if (e->openError) return failed<FileHandle>(e->openError);
    if (sharingViolation(resolved, access, share)) return failed<FileHandle>(ERROR_SHARING_VIOLATION);
    return FileHandle(&owner_, newFile(resolved, access, share));
}

MappingHandle SimFiles::createFileMapping(const FileHandle& file, std::uint32_t protect) {
    if (core_.failsWin32(Op::CreateFileMapping)) return {};
    std::lock_guard lk(core_.m);
    const HandleInfo* f = core_.handle(file.get(), HandleKind::File);
    if (!f) return {};
    if (protect != win::PAGE_READONLY) return failed<MappingHandle>(win::ERROR_INVALID_PARAMETER);
    if (!(f->access & win::GENERIC_READ)) return failed<MappingHandle>(win::ERROR_ACCESS_DENIED);
    const std::u16string path = opens_[file.get()].path;
    SimFsEntry* e = find(path);
    if (!e) return failed<MappingHandle>(win::ERROR_FILE_NOT_FOUND);
    if (e->size == 0) return failed<MappingHandle>(win::ERROR_FILE_INVALID);
    if (e->mapError) return failed<MappingHandle>(e->mapError);
    HandleInfo info;
    info.kind = HandleKind::Mapping;
    info.access = protect;
    const RawHandle h = core_.newHandle(std::move(info));
    opens_[h] = Open{path, e->size, {}};
    return MappingHandle(&owner_, h);
}

ViewHandle SimFiles::mapViewOfFile(const MappingHandle& mapping, std::uint32_t access, std::uint64_t offset,
                                   std::size_t bytes) {
    if (core_.failsWin32(Op::MapViewOfFile)) return {};
    std::lock_guard lk(core_.m);
    Open* m = open(mapping.get(), HandleKind::Mapping);
    if (!m) return {};
    if (access != win::FILE_MAP_READ) return failed<ViewHandle>(win::ERROR_ACCESS_DENIED);
    const std::uint64_t length = bytes ? bytes : m->length - std::min(offset, m->length);
    // A view may not reach past the end of its mapping.
    if (offset + length > m->length || length == 0) return failed<ViewHandle>(win::ERROR_ACCESS_DENIED);
    const std::u16string path = m->path;
    const SimFsEntry* e = find(path);
    if (e && e->viewError) return failed<ViewHandle>(e->viewError);
    HandleInfo info;
    info.kind = HandleKind::View;
    info.access = access;
    const RawHandle h = core_.newHandle(std::move(info));
    opens_[h] = Open{path, length, {}};
    return ViewHandle(&owner_, h);
}

bool SimFiles::prefetchVirtualMemory(const platform::ProcessHandle& process, const platform::MemoryRange* ranges,
                                     std::size_t count) {
    if (core_.missing(Routine::PrefetchVirtualMemory)) return false;
    if (core_.failsWin32(Op::PrefetchVirtualMemory)) return false;
    std::lock_guard lk(core_.m);
    if (process.get() != platform::kCurrentProcessHandle && !core_.handle(process.get(), HandleKind::Process))
        return false;
    if (!ranges || count == 0) return fail(win::ERROR_INVALID_PARAMETER);
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = reinterpret_cast<RawHandle>(ranges[i].start);  // a view's raw handle is its address
        const auto live = core_.handles.find(at);
        const bool view = live != core_.handles.end() && live->second.kind == HandleKind::View;
        prefetched.push_back({view ? opens_[at].path : std::u16string{}, ranges[i].bytes});
    }
    return true;
}

bool SimFiles::touchPages(const ViewHandle& view, std::size_t bytes) {
    if (core_.failsWin32(Op::TouchPages)) return false;
    std::lock_guard lk(core_.m);
    Open* v = open(view.get(), HandleKind::View);
    if (!v) return false;
    if (bytes > v->length) return fail(win::ERROR_PARTIAL_COPY);
    SimFsEntry* e = find(v->path);
    if (!e || e->inPageError) return fail(win::ERROR_PARTIAL_COPY);
    e->cachedBytes = std::max<std::uint64_t>(e->cachedBytes, bytes);
    return true;
}

}  // namespace zk::sim
