#pragma once
// A simulated machine for the disk module: a game folder to build trees in, and the disk
// log's lines as "level text", every queued line delivered before they are read.

#include <algorithm>
#include <string>
#include <vector>

#include "disk/disk_log.h"
#include "support/kept_lines.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

using Lines = std::vector<std::string>;

class DiskTest : public MachineTest {
protected:
    static constexpr const char* kRoot = "C:\\game";

    void SetUp() override {
        Kept::clear();
        ZelkorRegisterDiskLogCallback(&collect);
        ZelkorSetDiskLogLevel(2);
        machine.addDirectory(sim::u16(kRoot));
    }

    // The lines delivered so far: the worker stops only once the queue is empty.
    static Lines logged() {
        disk::diskLog().stopWorker();
        Lines out = Kept::all();
        Kept::clear();
        return out;
    }
    static bool has(const Lines& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    sim::SimFsEntry& file(const std::string& relative, std::uint64_t size) {
        return machine.addFile(sim::u16(std::string(kRoot) + "\\" + relative), size);
    }
    sim::SimFsEntry& dir(const std::string& relative) {
        return machine.addDirectory(sim::u16(std::string(kRoot) + "\\" + relative));
    }
    std::uint64_t cached(const std::string& relative) {
        return machine.fsEntry(sim::u16(std::string(kRoot) + "\\" + relative))->cachedBytes;
    }
    static std::uint32_t warm(const char* folder = kRoot) { return ZelkorWarmupGameFolder(sim::u16(folder).c_str()); }

    static void ZK_CALL collect(int32_t level, const zk_wchar* text) {
        std::string s = std::to_string(level) + " ";
        for (const zk_wchar* p = text; *p; ++p) s.push_back(static_cast<char>(*p));  // the tests' text is ASCII
        Kept::add(std::move(s));
    }

private:
    using Kept = KeptLines<DiskTest>;
};

}  // namespace zk::test
