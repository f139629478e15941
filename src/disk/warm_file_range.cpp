#include "disk/warm_file_range.h"

#include <algorithm>

#include "disk/disk_log.h"
#include "platform/platform.h"

namespace zk::disk {

namespace {

namespace pf = platform;

// One mapped file. Members end in reverse order: the view is unmapped before its mapping
// and file are closed, or the file would stay mapped (its updaters then fail with 1224).
struct MappedFile {
    pf::FileHandle file;
    pf::MappingHandle mapping;
    pf::ViewHandle view;
    std::size_t bytes = 0;
    const std::u16string* path = nullptr;
};

bool map(const FoundFile& f, MappedFile& out) {
    pf::Files& files = pf::api().files();
    out.path = &f.path;
    out.bytes = static_cast<std::size_t>(std::min(f.size, kWarmBytes));
    out.file = files.createFile(f.path.c_str(), win::GENERIC_READ,
                                win::FILE_SHARE_READ | win::FILE_SHARE_WRITE | win::FILE_SHARE_DELETE,
                                win::OPEN_EXISTING, win::FILE_FLAG_SEQUENTIAL_SCAN);
    if (!out.file) {
        diskLog().log(kDetail, u"[Zelkor] Failed to open: ", f.path);
        return false;
    }
    out.mapping = files.createFileMapping(out.file, win::PAGE_READONLY);
    if (!out.mapping) {
        diskLog().log(kDetail, u"[Zelkor] Mapping failed: ", f.path);
        return false;
    }
    out.view = files.mapViewOfFile(out.mapping, win::FILE_MAP_READ, 0, out.bytes);
    if (!out.view) {
        diskLog().log(kDetail, u"[Zelkor] View failed: ", f.path);
        return false;
    }
    return true;
}

}  // namespace

std::uint32_t warmFileRange(const std::vector<FoundFile>& files, std::size_t begin, std::size_t end,
                            const std::atomic<bool>& cancel) {
    if (end <= begin || cancel.load()) return 0;
    std::vector<MappedFile> mapped;
    mapped.reserve(end - begin);
    for (std::size_t i = begin; i < end && !cancel.load(); ++i) {
        if (files[i].size == 0) continue;  // nothing to warm, and an empty file cannot be mapped
        MappedFile m;
        if (map(files[i], m)) mapped.push_back(std::move(m));
    }
    std::uint32_t warmed = 0;
    if (!mapped.empty() && !cancel.load()) {
        diskLog().log(kDetail, u"[Zelkor] Prefetch batch size: ", static_cast<std::uint64_t>(mapped.size()));
        pf::Files& fs = pf::api().files();
        if (pf::modules().hasRoutine(pf::Routine::PrefetchVirtualMemory)) {
            std::vector<pf::MemoryRange> ranges(mapped.size());
            for (std::size_t i = 0; i < mapped.size(); ++i)
                ranges[i] = {reinterpret_cast<const void*>(mapped[i].view.get()), mapped[i].bytes};
            fs.prefetchVirtualMemory(pf::Processes::currentProcess(), ranges.data(), ranges.size());
        }
        for (MappedFile& m : mapped) {
            if (fs.touchPages(m.view, m.bytes))
                ++warmed;
            else
                diskLog().log(kDetail, u"[Zelkor] Read failed: ", *m.path);
        }
    }
    for (MappedFile& m : mapped) m.view.reset();  // every view unmapped, cancelled or not
    return warmed;
}

}  // namespace zk::disk
