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
    view.reset();
    EXPECT_FALSE(fs.touchPages(pf::ViewHandle::unowned(stale), 100));
    EXPECT_EQ(machine.lastError(), win::ERROR_INVALID_HANDLE) << "an unmapped view";
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
