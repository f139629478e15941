// The simulated file system's paths and links, folders, and files written through a
// handle: what the stateless restore's log needs.
#include "platform/sim/sim_files.h"

#include <algorithm>

namespace zk::sim {

using platform::FileHandle;

namespace {

constexpr std::uint32_t kFileAttributeArchive = 0x20;  // what a newly created file carries
// Windows gives up after this many reparse points in one lookup (ERROR_CANT_RESOLVE_FILENAME).
constexpr int kMaxLinks = 63;

char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string_view parentOf(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u'\\');
    return slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(0, slash);
}

bool fail(std::uint32_t code) {
    lastError() = code;
    return false;
}

bool hasAny(std::uint32_t access, std::uint32_t rights) { return (access & (rights | win::GENERIC_ALL)) != 0; }

}  // namespace

bool SimFiles::PathLess::operator()(std::u16string_view a, std::u16string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return fold(x) < fold(y); });
}

bool SimFiles::resolve(std::u16string from, std::u16string_view rest, bool followLast, std::u16string& out) {
    std::u16string path = std::move(from);
    std::u16string todo(rest);
    int links = 0;
    while (!todo.empty()) {
        const std::size_t slash = todo.find(u'\\');
        const std::u16string name = todo.substr(0, slash);
        todo = slash == std::u16string::npos ? std::u16string{} : todo.substr(slash + 1);
        const std::u16string next = path.empty() ? name : path + u'\\' + name;
        const SimFsEntry* e = find(next);
        if (e && !e->linkTarget.empty() && (followLast || !todo.empty())) {
            if (++links > kMaxLinks) return false;
            // Start again from the link's target, with what is left of the path after it.
            todo = todo.empty() ? e->linkTarget : e->linkTarget + u'\\' + todo;
            path.clear();
            continue;
        }
        path = next;
    }
    out = path;
    return true;
}

// A drive's root ("C:") is always there.
bool SimFiles::isFolder(std::u16string_view path) {
    if (path.size() == 2 && path[1] == u':') return true;
    const SimFsEntry* e = find(path);
    return e && e->isDirectory();
}

RawHandle SimFiles::newFile(const std::u16string& path, std::uint32_t access, std::uint32_t share) {
    HandleInfo info;
    info.kind = HandleKind::File;
    info.access = access;
    const RawHandle h = core_.newHandle(std::move(info));
    Open& o = opens_[h];
    o.path = path;
    o.access = access;
    o.share = share;
    return h;
}

bool SimFiles::createDirectory(const char16_t* path) {
    if (core_.failsWin32(Op::CreateDirectory)) return false;
    std::lock_guard lk(core_.m);
    const std::u16string_view p = path ? path : u"";
    const std::u16string_view parent = parentOf(p);
    if (parent.empty()) return fail(win::ERROR_PATH_NOT_FOUND);
    std::u16string folder;
    if (!resolve({}, parent, true, folder)) return fail(win::ERROR_CANT_RESOLVE_FILENAME);
    const std::u16string full = folder + u'\\' + std::u16string(p.substr(parent.size() + 1));
    if (find(full)) return fail(win::ERROR_ALREADY_EXISTS);  // a file or a link of that name too
    if (!isFolder(folder)) return fail(win::ERROR_PATH_NOT_FOUND);
    add(full, win::FILE_ATTRIBUTE_DIRECTORY, 0);
    return true;
}

std::int32_t SimFiles::ntCreateFileIn(const FileHandle& root, const char16_t* name, std::uint32_t access,
                                      std::uint32_t share, std::uint32_t disposition, std::uint32_t options,
                                      FileHandle& out) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtCreateFile, Op::NtCreateFile, &status)) return status;
    RawHandle h = platform::kNullHandle;
    status = openIn(root, name ? name : u"", access, share, disposition, options, h);
    if (win::ntSuccess(status)) out = FileHandle(&owner_, h);  // outside the lock: it may close what out held
    return status;
}

std::int32_t SimFiles::openIn(const FileHandle& root, std::u16string_view name, std::uint32_t access,
                              std::uint32_t share, std::uint32_t disposition, std::uint32_t options,
                              RawHandle& out) {
    std::lock_guard lk(core_.m);
    const Open* dir = open(root.get(), HandleKind::File);
    if (!dir) return win::STATUS_INVALID_HANDLE;
    // Documented: synchronous I/O needs SYNCHRONIZE among the rights asked for.
    if ((options & win::FILE_SYNCHRONOUS_IO_NONALERT) && !(access & win::SYNCHRONIZE))
        return win::STATUS_INVALID_PARAMETER;
    if (disposition != win::FILE_OPEN && disposition != win::FILE_OPEN_IF)
        return win::STATUS_INVALID_PARAMETER;  // the two dispositions modelled
    // The documentation names no status for a root that is no folder; this one is the
    // path's (as for any name below a file).
    if (!isFolder(dir->path)) return win::STATUS_OBJECT_PATH_NOT_FOUND;
    std::u16string path;
    if (!resolve(dir->path, name, !(options & win::FILE_OPEN_REPARSE_POINT), path))
        return win::STATUS_REPARSE_POINT_NOT_RESOLVED;
    if (!find(path)) {
        if (disposition == win::FILE_OPEN) return win::STATUS_OBJECT_NAME_NOT_FOUND;
        if (!isFolder(parentOf(path))) return win::STATUS_OBJECT_PATH_NOT_FOUND;
        add(path, kFileAttributeArchive, 0);
    }
    constexpr std::int32_t STATUS_SHARING_VIOLATION = static_cast<std::int32_t>(0xC0000043);
    if (sharingViolation(path, access, share)) return STATUS_SHARING_VIOLATION;
    out = newFile(path, access, share);
    return win::STATUS_SUCCESS;
}

bool SimFiles::getFileInformation(const FileHandle& file, platform::FileInformation& out) {
    if (core_.failsWin32(Op::GetFileInformation)) return false;
    std::lock_guard lk(core_.m);
    const HandleInfo* h = core_.handle(file.get(), HandleKind::File);
    if (!h) return false;
    // It reads the file's attributes: ZwQueryInformationFile needs FILE_READ_ATTRIBUTES.
    if (!hasAny(h->access, win::FILE_READ_ATTRIBUTES | win::GENERIC_READ)) return fail(win::ERROR_ACCESS_DENIED);
    const SimFsEntry* e = find(opens_[file.get()].path);
    if (!e) return fail(win::ERROR_FILE_NOT_FOUND);
    out.attributes = e->attributes;
    out.links = e->links;
    return true;
}

bool SimFiles::writeFile(const FileHandle& file, std::string_view data, std::uint32_t& written) {
    if (core_.failsWin32(Op::WriteFile)) return false;
    std::lock_guard lk(core_.m);
    const HandleInfo* h = core_.handle(file.get(), HandleKind::File);
    if (!h) return false;
    if (!hasAny(h->access, win::FILE_WRITE_DATA | win::FILE_APPEND_DATA | win::GENERIC_WRITE))
        return fail(win::ERROR_ACCESS_DENIED);
    SimFsEntry* e = find(opens_[file.get()].path);
    if (!e) return fail(win::ERROR_FILE_NOT_FOUND);
    e->text.append(data);
    e->size += data.size();
    written = static_cast<std::uint32_t>(data.size());
    return true;
}

}  // namespace zk::sim
