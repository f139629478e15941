// The simulated file system refuses what Windows refuses.

#include <tuple>

#include "support/machine_fixture.h"

namespace zk::test {
namespace {

using SimFilesTest = MachineTest;
namespace pf = platform;

TEST_F(SimFilesTest, RefusesWhatWindowsRefusesAndListsAFolder) {
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

    // A listing gives the dot entries first and ends with no more files.
    machine.addFile(u"C:\\d\\sub\\deeper", 1);  // not one level below: not listed
    pf::FindData d;
    const pf::FindHandle find = fs.findFirstFile(u"C:\\d\\*", d);
    ASSERT_TRUE(find);
    std::u16string names = d.name;
    while (fs.findNextFile(find, d)) names += u"|" + std::u16string(d.name);
    EXPECT_EQ(machine.lastError(), win::ERROR_NO_MORE_FILES);
    EXPECT_EQ(names, u".|..|empty|small");
}

TEST_F(SimFilesTest, OpensHonourShareModes) {
    machine.addFile(u"C:\\f", 100);
    pf::Files& fs = machine.files();
    const auto open = [&](std::uint32_t access, std::uint32_t share) {
        return fs.createFile(u"C:\\f", access, share, win::OPEN_EXISTING, 0);
    };
    constexpr std::uint32_t kRead = win::GENERIC_READ, kWrite = 0x40000000, kDelete = 0x00010000;
    constexpr std::uint32_t kShareRead = win::FILE_SHARE_READ, kShareAll = 7;
    // The open held (access, share), the new open (access, share), and whether it opens.
    const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, bool> cases[] = {
        {kRead, 0, kRead, kShareAll, false},             // held without sharing
        {kRead, kShareRead, kRead, kShareRead, true},
        {kRead, kShareRead, kWrite, kShareAll, false},   // the holder does not share writing
        {kWrite, kShareAll, kRead, kShareRead, false},   // the new open does not share the holder's writing
        {kDelete, kShareAll, kRead, kShareRead, false},  // nor its delete access
        {0, 0, kRead, kShareRead, true},                 // attributes only: no sharing needed
    };
    for (const auto& [heldAccess, heldShare, access, share, opens] : cases) {
        const pf::FileHandle held = open(heldAccess, heldShare);
        ASSERT_TRUE(held);
        EXPECT_EQ(open(access, share) ? 0u : machine.lastError(), opens ? 0u : 32u)  // ERROR_SHARING_VIOLATION
            << std::hex << heldAccess << " " << access;
    }
    pf::FileHandle file = open(kRead, 0);
    const pf::MappingHandle mapping = fs.createFileMapping(file, win::PAGE_READONLY);
    EXPECT_FALSE(open(kRead, kShareAll));
    file.reset();  // sharing ends with the last file handle, mapped or not
    EXPECT_TRUE(open(kRead, kShareRead));
}

TEST_F(SimFilesTest, FoldersLinksAndRelativeOpensAsWindowsHasThem) {
    pf::Files& fs = machine.files();
    EXPECT_FALSE(fs.createDirectory(u"C:\\None\\Logs"));
    EXPECT_EQ(machine.lastError(), win::ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(fs.createDirectory(u"C:\\Logs"));
    EXPECT_FALSE(fs.createDirectory(u"c:\\LOGS"));
    EXPECT_EQ(machine.lastError(), win::ERROR_ALREADY_EXISTS) << "names match without regard to case";
    machine.addDirectory(u"C:\\Other");
    machine.addLink(u"C:\\Logs\\jn", u"C:\\Other", true);
    EXPECT_TRUE(fs.createDirectory(u"C:\\Logs\\jn\\sub"));
    EXPECT_NE(machine.fsEntry(u"C:\\Other\\sub"), nullptr) << "a junction on the way is followed";

    const auto attributesOf = [&](const char16_t* path, std::uint32_t flags) {
        pf::FileInformation info;
        const pf::FileHandle h = fs.createFile(path, win::FILE_READ_ATTRIBUTES, 0, win::OPEN_EXISTING, flags);
        return h && fs.getFileInformation(h, info) ? info.attributes : 0u;
    };
    const std::uint32_t backup = win::FILE_FLAG_BACKUP_SEMANTICS;
    EXPECT_EQ(attributesOf(u"C:\\Logs\\jn", backup), 0x10u) << "the last link too, without the flag";
    EXPECT_EQ(attributesOf(u"C:\\Logs\\jn", backup | win::FILE_FLAG_OPEN_REPARSE_POINT), 0x410u);
    machine.addLink(u"C:\\loop", u"C:\\loop", true);
    EXPECT_EQ(attributesOf(u"C:\\loop\\x", backup), 0u);
    EXPECT_EQ(machine.lastError(), win::ERROR_CANT_RESOLVE_FILENAME);

    // An open relative to a folder handle, and its writes.
    const pf::FileHandle folder = fs.createFile(u"C:\\Logs", win::FILE_READ_ATTRIBUTES, 0, win::OPEN_EXISTING,
                                                win::FILE_FLAG_BACKUP_SEMANTICS);
    const auto open = [&](std::uint32_t access, std::uint32_t disposition, pf::FileHandle& out) {
        return fs.ntCreateFileIn(folder, u"a.log", access, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, disposition,
                                 win::FILE_SYNCHRONOUS_IO_NONALERT, out);
    };
    const std::uint32_t append = win::FILE_APPEND_DATA | win::SYNCHRONIZE;
    pf::FileHandle file;
    EXPECT_EQ(open(win::FILE_APPEND_DATA, win::FILE_OPEN_IF, file), win::STATUS_INVALID_PARAMETER)
        << "synchronous I/O needs SYNCHRONIZE";
    EXPECT_EQ(open(append, win::FILE_OPEN, file), win::STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_FALSE(file);
    // The folder the handle holds, though its name leads elsewhere by now.
    sim::SimFsEntry& logs = *machine.fsEntry(u"C:\\Logs");
    logs.attributes |= win::FILE_ATTRIBUTE_REPARSE_POINT;
    logs.linkTarget = u"C:\\Other";
    ASSERT_EQ(open(append, win::FILE_OPEN_IF, file), win::STATUS_SUCCESS);
    std::uint32_t written = 0;
    ASSERT_TRUE(fs.writeFile(file, "ab", written));
    EXPECT_EQ(written, 2u);
    ASSERT_EQ(open(append, win::FILE_OPEN_IF, file), win::STATUS_SUCCESS);
    ASSERT_TRUE(fs.writeFile(file, "c", written));
    EXPECT_EQ(machine.fileText(u"c:\\logs\\A.LOG"), "abc");
    EXPECT_EQ(machine.fsEntry(u"C:\\Other\\a.log"), nullptr);
    pf::FileInformation info;
    EXPECT_FALSE(fs.getFileInformation(file, info));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED) << "reading attributes takes FILE_READ_ATTRIBUTES";
    ASSERT_EQ(open(win::FILE_READ_ATTRIBUTES | win::SYNCHRONIZE, win::FILE_OPEN, file), win::STATUS_SUCCESS);
    EXPECT_FALSE(fs.writeFile(file, "d", written));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED);
    ASSERT_TRUE(fs.getFileInformation(file, info));
    EXPECT_EQ(info.links, 1u);
}

}  // namespace
}  // namespace zk::test
