#pragma once
// The simulated machine's file system: a tree of directories, files and links with sizes
// and attributes, the failures a test assigns to each (enumeration, open, mapping, view,
// in-page errors), what the library has read of each file and what it wrote to it.
// Paths are matched without regard to case, as Windows matches them.

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sim/sim_core.h"

namespace zk::sim {

using platform::FindData;

// A directory or a file, kept by its full path as it was added.
struct SimFsEntry {
    std::uint32_t attributes = win::FILE_ATTRIBUTE_NORMAL;
    std::uint64_t size = 0;
    // A junction or a symbolic link (its attributes hold FILE_ATTRIBUTE_REPARSE_POINT):
    // the full path it leads to. Empty for any other entry.
    std::u16string linkTarget;
    std::uint32_t links = 1;  // its names: more than one when hard links share it
    std::string text;         // what was written to it
    // Errors a test assigns; 0 lets the call succeed.
    std::uint32_t enumError = 0;  // enumerating this directory
    std::uint32_t openError = 0;  // opening this file
    std::uint32_t mapError = 0;
    std::uint32_t viewError = 0;
    bool inPageError = false;  // its pages cannot be read (a lost network drive)
    bool listedTwice = false;  // its directory's listing names it twice
    // The longest prefix the library has read through a view.
    std::uint64_t cachedBytes = 0;

    bool isDirectory() const { return (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// One range given to PrefetchVirtualMemory: the file of the view it starts at (empty when
// it starts at no view) and its length.
struct PrefetchedRange {
    std::u16string path;
    std::uint64_t bytes = 0;
    bool operator==(const PrefetchedRange&) const = default;
};

class SimFiles final : public platform::Files {
public:
    SimFiles(platform::Platform& owner, SimCore& core) : owner_(owner), core_(core) {}

    // The machine's side (caller holds the core lock).
    SimFsEntry& add(std::u16string path, std::uint32_t attributes, std::uint64_t size);
    SimFsEntry* find(std::u16string_view path);
    std::vector<PrefetchedRange> prefetched;  // every range given, in order

    bool getFileAttributes(const char16_t* path, std::uint32_t& attributes) override;
    platform::FindHandle findFirstFile(const char16_t* pattern, FindData& out) override;
    bool findNextFile(const platform::FindHandle& find, FindData& out) override;
    platform::FileHandle createFile(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flags) override;
    std::int32_t ntCreateFileIn(const platform::FileHandle& root, const char16_t* name, std::uint32_t access,
                                std::uint32_t share, std::uint32_t disposition, std::uint32_t options,
                                platform::FileHandle& out) override;
    bool createDirectory(const char16_t* path) override;
    bool getFileInformation(const platform::FileHandle& file, platform::FileInformation& out) override;
    bool writeFile(const platform::FileHandle& file, std::string_view data, std::uint32_t& written) override;
    platform::MappingHandle createFileMapping(const platform::FileHandle& file, std::uint32_t protect) override;
    platform::ViewHandle mapViewOfFile(const platform::MappingHandle& mapping, std::uint32_t access,
                                       std::uint64_t offset, std::size_t bytes) override;
    bool prefetchVirtualMemory(const platform::ProcessHandle& process, const platform::MemoryRange* ranges,
                               std::size_t count) override;
    bool touchPages(const platform::ViewHandle& view, std::size_t bytes) override;

private:
    // What an open find, file, mapping or view refers to.
    struct Open {
        std::u16string path;
        std::uint64_t length = 0;       // a mapping's size, a view's length
        std::vector<FindData> listing;  // a find's entries, as taken
        std::uint32_t access = 0, share = 0;  // a file's
    };
    // Case-insensitive order of paths, as NTFS compares names.
    struct PathLess {
        using is_transparent = void;
        bool operator()(std::u16string_view a, std::u16string_view b) const;
    };
    std::vector<FindData> list(const std::u16string& dir);
    Open* open(RawHandle h, HandleKind k);
    // Whether an open of path with access and share collides with an open file handle.
    bool sharingViolation(const std::u16string& path, std::uint32_t access, std::uint32_t share);
    // `rest` looked up from the folder `from` (itself taken as it is): every link met on
    // the way is followed, the last name's too when followLast. False past 63 links.
    bool resolve(std::u16string from, std::u16string_view rest, bool followLast, std::u16string& out);
    bool isFolder(std::u16string_view path);
    RawHandle newFile(const std::u16string& path, std::uint32_t access, std::uint32_t share);
    // ntCreateFileIn's work under the lock: the new handle in out.
    std::int32_t openIn(const platform::FileHandle& root, std::u16string_view name, std::uint32_t access,
                        std::uint32_t share, std::uint32_t disposition, std::uint32_t options, RawHandle& out);

    platform::Platform& owner_;
    SimCore& core_;
    std::map<std::u16string, SimFsEntry, PathLess> entries_;
    std::unordered_map<RawHandle, Open> opens_;
};

}  // namespace zk::sim
