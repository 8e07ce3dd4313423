#include "platform/PosixFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/PosixPlatform.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

std::map<std::string, FolderEntry> ReadAll(OpenFolder& folder) {
    std::map<std::string, FolderEntry> entries;
    FolderEntry e;
    while (folder.next(e)) entries[std::string(e.name)] = e;
    EXPECT_FALSE(folder.failed());
    return entries;
}

TEST(PosixFolder, EntriesCarryTheirTypeAndLinksCountByTheirTarget) {
    test::TempDir dir;
    fs::create_directory(toPath(dir / "sub"));
    test::WriteFile(dir / "file.txt", "x");
    test::WriteFile(dir / ".hidden", "x");
    fs::create_directory_symlink(toPath(dir / "sub"), toPath(dir / "linkdir"));
    fs::create_symlink(toPath("file.txt"), toPath(dir / "linkfile"));
    fs::create_symlink(toPath("missing"), toPath(dir / "dangling"));
    fs::create_symlink(toPath("fifo"), toPath(dir / "linkfifo"));
    fs::create_symlink(toPath("loop"), toPath(dir / "loop"));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    PosixPlatform platform(dir.path());
    std::unique_ptr<OpenFolder> folder = platform.openFolder(dir.path());
    ASSERT_TRUE(folder);
    std::map<std::string, FolderEntry> e = ReadAll(*folder);
    ASSERT_EQ(e.size(), 9u);  // no "." or ".."
    auto flags = [&](const char* name) {
        const FolderEntry& x = e.at(name);
        return std::string(x.isFolder ? "F" : "-") + (x.isLink ? "L" : "-") +
               (x.hidden ? "H" : "-") + (x.system ? "S" : "-");
    };
    EXPECT_EQ(flags("sub"), "F---");
    EXPECT_EQ(flags("file.txt"), "----");
    EXPECT_EQ(flags(".hidden"), "--H-");
    EXPECT_EQ(flags("linkdir"), "-L--");
    EXPECT_EQ(flags("linkfile"), "-L--");
    EXPECT_EQ(flags("dangling"), "-L-S");
    EXPECT_EQ(flags("linkfifo"), "-L-S");
    EXPECT_EQ(flags("loop"), "-L-S");
    EXPECT_EQ(flags("fifo"), "---S");
    EXPECT_TRUE(folder->holdsFolder("sub"));
    EXPECT_TRUE(folder->holdsFolder("linkdir"));
    EXPECT_FALSE(folder->holdsFolder("linkfile"));
    EXPECT_FALSE(folder->holdsFolder("missing"));

    // The listing reads through the same entries.
    std::vector<DirEntry> listed;
    ASSERT_TRUE(platform.listDirectory(dir.path(), listed));
    for (const DirEntry& d : listed) {
        const FolderEntry& x = e.at(d.name);
        EXPECT_EQ(std::make_tuple(d.isFolder, d.isLink, d.hidden, d.system),
                  std::make_tuple(x.isFolder, x.isLink, x.hidden, x.system))
            << d.name;
    }
    EXPECT_EQ(listed.size(), e.size());
}

// Dates and link targets are looked up in the folder that was opened, not at a
// path built again for every entry: a folder moved while it is read is still read.
TEST(PosixFolder, NamesAreLookedUpInTheOpenFolderWhereverItIsNow) {
    test::TempDir dir;
    test::WriteFile(dir / "old/file.txt", "x");
    fs::create_directory(toPath(dir / "old/sub"));
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "old/file.txt").c_str(), times, 0), 0);
    PosixPlatform platform(dir.path());
    std::unique_ptr<OpenFolder> folder = platform.openFolder(dir / "old/");
    ASSERT_TRUE(folder);
    fs::rename(toPath(dir / "old"), toPath(dir / "new"));
    EXPECT_EQ(folder->modified("file.txt"), std::optional<std::time_t>(1000000000));
    EXPECT_TRUE(folder->holdsFolder("sub"));
    EXPECT_EQ(ReadAll(*folder).size(), 2u);
    EXPECT_FALSE(folder->modified("missing"));
    // A name holding a NUL would reach the system cut short.
    EXPECT_FALSE(folder->modified(std::string("file.txt\0x", 10)));
    EXPECT_FALSE(folder->holdsFolder(std::string("sub\0x", 5)));
}

TEST(PosixFolder, WhatIsNoReadableFolderDoesNotOpen) {
    test::TempDir dir;
    test::WriteFile(dir / "file.txt", "x");
    PosixPlatform platform(dir.path());
    EXPECT_FALSE(platform.openFolder(dir / "missing"));
    EXPECT_FALSE(platform.openFolder(dir / "file.txt"));
    EXPECT_FALSE(platform.openFolder(dir.path() + std::string("\0/x", 3)));
    std::vector<DirEntry> listed;
    EXPECT_FALSE(platform.listDirectory(dir / "missing", listed));
    fs::create_directory_symlink(dir.path(), toPath(dir / "up"));
    EXPECT_TRUE(platform.openFolder(dir / "up/"));  // a link to a folder is followed
}

}  // namespace
}  // namespace stowaway
