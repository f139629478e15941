// The simulated file system refuses what Windows refuses.

#include "support/machine_fixture.h"

namespace zk::test {
namespace {

using SimFilesTest = MachineTest;
namespace pf = platform;

TEST_F(SimFilesTest, RefusesWhatWindowsRefuses) {
    machine.addDirectory(u"C:\\d");
    machine.addFile(u"C:\\d\\empty", 0);
    machine.addFile(u"C:\\d\\small", 100);
    pf::Files& fs = machine.files();
    const auto open = [&](const char16_t* path, std::uint32_t access = win::GENERIC_READ) {
        return fs.createFile(path, access, win::FILE_SHARE_READ, win::OPEN_EXISTING, 0);
    };
    EXPECT_FALSE(open(u"C:\\d"));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED) << "a directory without backup semantics";
    EXPECT_FALSE(open(u"C:\\d\\none"));
    EXPECT_EQ(machine.lastError(), win::ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(fs.createFileMapping(open(u"C:\\d\\empty"), win::PAGE_READONLY));
    EXPECT_EQ(machine.lastError(), win::ERROR_FILE_INVALID) << "an empty file cannot be mapped";
    EXPECT_FALSE(fs.createFileMapping(open(u"C:\\d\\small", 0), win::PAGE_READONLY));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED) << "read protection needs read access";

    const pf::FileHandle file = open(u"C:\\d\\small");
    const pf::MappingHandle mapping = fs.createFileMapping(file, win::PAGE_READONLY);
    ASSERT_TRUE(mapping);
    EXPECT_FALSE(fs.mapViewOfFile(mapping, win::FILE_MAP_READ, 0, 65536));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED) << "a view past the end of its mapping";
    pf::ViewHandle view = fs.mapViewOfFile(mapping, win::FILE_MAP_READ, 0, 100);
    ASSERT_TRUE(view);
    EXPECT_FALSE(fs.touchPages(view, 101));
    const pf::RawHandle stale = view.get();
    // Each range given to the prefetch is recorded with its view's file, if any, and its length.
    const pf::MemoryRange ranges[] = {{reinterpret_cast<const void*>(stale), 100},
                                      {reinterpret_cast<const void*>(stale + 1), 7}};
    ASSERT_TRUE(fs.prefetchVirtualMemory(pf::Processes::currentProcess(), ranges, 2));
    EXPECT_EQ(machine.prefetches(), (std::vector<sim::PrefetchedRange>{{u"C:\\d\\small", 100}, {u"", 7}}));
    view.reset();
    EXPECT_FALSE(fs.touchPages(pf::ViewHandle::unowned(stale), 100));
    EXPECT_EQ(machine.lastError(), win::ERROR_INVALID_HANDLE) << "an unmapped view";
}

TEST_F(SimFilesTest, OpensHonourShareModes) {
    machine.addFile(u"C:\\f", 100);
    pf::Files& fs = machine.files();
    const auto open = [&](std::uint32_t access, std::uint32_t share) {
        return fs.createFile(u"C:\\f", access, share, win::OPEN_EXISTING, 0);
    };
    constexpr std::uint32_t kRead = win::GENERIC_READ, kWrite = 0x40000000, kDelete = 0x00010000;
    constexpr std::uint32_t kShareRead = win::FILE_SHARE_READ, kShareAll = 7;
    struct Case {
        std::uint32_t heldAccess, heldShare, access, share;
        bool opens;
    } const cases[] = {
        {kRead, 0, kRead, kShareAll, false},             // held without sharing
        {kRead, kShareRead, kRead, kShareRead, true},
        {kRead, kShareRead, kWrite, kShareAll, false},   // the holder does not share writing
        {kWrite, kShareAll, kRead, kShareRead, false},   // the new open does not share the holder's writing
        {kDelete, kShareAll, kRead, kShareRead, false},  // nor its delete access
        {0, 0, kRead, kShareRead, true},                 // attributes only: no sharing needed
    };
    for (const Case& c : cases) {
        const pf::FileHandle held = open(c.heldAccess, c.heldShare);
        ASSERT_TRUE(held);
        EXPECT_EQ(open(c.access, c.share) ? 0u : machine.lastError(), c.opens ? 0u : 32u)  // ERROR_SHARING_VIOLATION
            << std::hex << c.heldAccess << " " << c.access;
    }
    pf::FileHandle file = open(kRead, 0);
    const pf::MappingHandle mapping = fs.createFileMapping(file, win::PAGE_READONLY);
    EXPECT_FALSE(open(kRead, kShareAll));
    file.reset();  // sharing ends with the last file handle, mapped or not
    EXPECT_TRUE(open(kRead, kShareRead));
}

TEST_F(SimFilesTest, ListsDotEntriesFirstAndEndsWithNoMoreFiles) {
    machine.addDirectory(u"C:\\d");
    machine.addFile(u"C:\\d\\a", 1);
    machine.addFile(u"C:\\d\\sub\\deeper", 1);  // not one level below: not listed
    pf::FindData d;
    const pf::FindHandle find = machine.files().findFirstFile(u"C:\\d\\*", d);
    ASSERT_TRUE(find);
    std::u16string names = d.name;
    while (machine.files().findNextFile(find, d)) names += u"|" + std::u16string(d.name);
    EXPECT_EQ(machine.lastError(), win::ERROR_NO_MORE_FILES);
    EXPECT_EQ(names, u".|..|a");
}

}  // namespace
}  // namespace zk::test
