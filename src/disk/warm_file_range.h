#pragma once
// Warming a range of one directory's files into the file cache.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zk::disk {

// A file found by the scan, with the size its enumeration reported.
struct FoundFile {
    std::u16string path;
    std::uint64_t size = 0;
};

// The first part of a file that is warmed: 64 KiB, or the whole of a smaller file.
inline constexpr std::uint64_t kWarmBytes = 0x10000;

// Maps the first min(size, 64 KiB) of files[begin, end) (0-byte files are skipped
// without a word), prefetches all views in one call, reads every page of each, and
// returns how many files were read whole. Nothing is counted once `cancel` is set. Views
// are unmapped, then mappings and files closed, on every path.
std::uint32_t warmFileRange(const std::vector<FoundFile>& files, std::size_t begin, std::size_t end,
                            const std::atomic<bool>& cancel);

}  // namespace zk::disk
