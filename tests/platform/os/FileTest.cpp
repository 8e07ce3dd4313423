#include "platform/os/File.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/NativeText.h"
#include "platform/os/Self.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

// Closes a handle at the end of the scope.
struct Held {
    os::Handle h;
    explicit Held(os::Handle handle) : h(handle) {}
    ~Held() { os::Close(h); }
    operator os::Handle() const { return h; }
};

std::string ReadAll(os::Handle h, uint64_t size) {
    std::string out(size, '\0');
    EXPECT_EQ(os::ReadAt(h, out.data(), out.size(), 0), static_cast<int64_t>(size));
    return out;
}

std::map<std::string, os::FileType> Listing(const std::string& folder) {
    std::map<std::string, os::FileType> names;
    EXPECT_TRUE(os::ListFolder(folder, [&](const os::FolderEntry& e) {
        names[std::string(e.name)] = e.type;
        return true;
    }));
    return names;
}

TEST(OsFile, PositionedWritesAndReadsLeaveTheSequentialPositionAlone) {
    test::TempDir dir;
    Held h(os::Open(dir / "f", os::kRead | os::kWrite | os::kCreate | os::kExclusive, 0600));
    ASSERT_NE(h.h, os::kNoHandle);
    ASSERT_EQ(os::Write(h, "abc", 3), 3);
    ASSERT_EQ(os::WriteAt(h, "XY", 2, 10), 2);  // past the end: a hole of zeros
    char two[2];
    ASSERT_EQ(os::ReadAt(h, two, 2, 1), 2);
    EXPECT_EQ(std::string(two, 2), "bc");
    ASSERT_EQ(os::Write(h, "d", 1), 1);  // goes on after "abc", not after the positioned ones
    EXPECT_EQ(ReadAll(h, 12), std::string("abcd\0\0\0\0\0\0XY", 12));
    char past;
    EXPECT_EQ(os::ReadAt(h, &past, 1, 12), 0);
    ASSERT_TRUE(os::Rewind(h));
    char first;
    ASSERT_EQ(os::Read(h, &first, 1), 1);
    EXPECT_EQ(first, 'a');
    // Exclusive creation refuses a name that is taken.
    EXPECT_EQ(os::Open(dir / "f", os::kWrite | os::kCreate | os::kExclusive), os::kNoHandle);
    EXPECT_EQ(os::LastError(), EEXIST);
}

TEST(OsFile, StatByHandleTellsSizeTypeTimeAndIdentity) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "12345");
    Held h(os::Open(dir / "f", os::kRead | os::kWrite));
    ASSERT_NE(h.h, os::kNoHandle);
    // Before 1970 and with a fraction of a second: a time survives whole, to
    // the hundred nanoseconds both systems keep.
    const os::FileTime when = os::MakeTime(-86400 * 400 - 1, 123456700);
    ASSERT_TRUE(os::SetModified(h, when));
    os::FileInfo info;
    ASSERT_TRUE(os::Stat(h, info));
    EXPECT_EQ(info.type, os::FileType::File);
    EXPECT_EQ(info.size, 5u);
    EXPECT_EQ(info.modified, when);
    EXPECT_EQ(os::Seconds(when), -86400 * 400 - 1);
    EXPECT_EQ(os::SubsecondNanos(when), 123456700u);
    // An archive's NTFS time of 1601 or a DOS-less year 9999 is held at the
    // nearest time the type keeps, in order, not wrapped round.
    const os::FileTime first = os::MakeTime(-11644473600, 0);
    const os::FileTime last = os::MakeTime(253402300799, 0);
    EXPECT_LT(first, when);
    EXPECT_GT(last, os::MakeTime(4102444800, 0));
    EXPECT_EQ(os::Seconds(first), -os::Seconds(last));
    ASSERT_TRUE(os::Truncate(h, 2));
    ASSERT_TRUE(os::Stat(h, info));
    EXPECT_EQ(info.size, 2u);
    // One file under two names is one file; another file is not.
    os::FileInfo byPath, other;
    ASSERT_TRUE(os::Rename(dir / "f", dir / "g"));
    ASSERT_TRUE(os::StatPath(dir / "g", byPath));
    EXPECT_TRUE(os::SameFile(info, byPath));
    test::WriteFile(dir / "h", "x");
    ASSERT_TRUE(os::StatPath(dir / "h", other));
    EXPECT_FALSE(os::SameFile(info, other));
    ASSERT_TRUE(os::StatPath(dir.path(), other));
    EXPECT_EQ(other.type, os::FileType::Folder);
    EXPECT_FALSE(os::StatPath(dir / "none", other));
    EXPECT_EQ(os::LastError(), ENOENT);
    EXPECT_EQ(os::ErrorText(ENOENT), std::string(std::strerror(ENOENT)));
}

TEST(OsFile, RenameReplacesWholeAndRenameInAFolderCanRefuseATakenName) {
    test::TempDir dir;
    test::WriteFile(dir / "old", "old contents");
    test::WriteFile(dir / "new", "new");
    // A reader of the old file keeps reading it while it is replaced.
    Held reader(os::Open(dir / "old", os::kRead));
    ASSERT_NE(reader.h, os::kNoHandle);
    ASSERT_TRUE(os::Rename(dir / "new", dir / "old"));
    EXPECT_EQ(test::ReadFile(dir / "old"), "new");
    EXPECT_EQ(ReadAll(reader, 12), "old contents");
    EXPECT_FALSE(fs::exists(toPath(dir / "new")));

    Held folder(os::Open(dir.path(), os::kRead | os::kFolder));
    ASSERT_NE(folder.h, os::kNoHandle);
    test::WriteFile(dir / "work", "work");
    EXPECT_FALSE(os::RenameAt(folder, "work", "old", false));
    EXPECT_EQ(os::LastError(), EEXIST);
    EXPECT_EQ(test::ReadFile(dir / "old"), "new");
    EXPECT_TRUE(os::RenameAt(folder, "work", "old", true));
    EXPECT_EQ(test::ReadFile(dir / "old"), "work");
    EXPECT_TRUE(os::RenameAt(folder, "old", "fresh", false));
    EXPECT_EQ(test::ReadFile(dir / "fresh"), "work");
}

TEST(OsFile, FoldersAreMadeListedAndLookedIntoByHandle) {
    test::TempDir dir;
    ASSERT_TRUE(os::MakeFolder(dir / "a"));
    EXPECT_FALSE(os::MakeFolder(dir / "a"));
    EXPECT_EQ(os::LastError(), EEXIST);
    Held a(os::Open(dir / "a", os::kRead | os::kFolder));
    ASSERT_NE(a.h, os::kNoHandle);
    ASSERT_TRUE(os::MakeFolderAt(a, "b"));
    {
        Held file(os::OpenAt(a, "f\xC3\xA4.txt", os::kWrite | os::kCreate | os::kExclusive));
        ASSERT_NE(file.h, os::kNoHandle);
        ASSERT_EQ(os::Write(file, "x", 1), 1);
    }  // closed: without POSIX delete semantics (Wine) an open file keeps its name
    const std::map<std::string, os::FileType> names = Listing(dir / "a");
    ASSERT_EQ(names.size(), 2u);  // no "." nor ".."
    EXPECT_EQ(names.at("b"), os::FileType::Folder);
    EXPECT_EQ(names.at("f\xC3\xA4.txt"), os::FileType::File);
    std::vector<std::string> byHandle;
    ASSERT_TRUE(os::ListFolder(a, [&](const os::FolderEntry& e) {
        byHandle.emplace_back(e.name);
        return true;
    }));
    EXPECT_EQ(byHandle.size(), 2u);
    // A second listing of the same handle starts over.
    byHandle.clear();
    ASSERT_TRUE(os::ListFolder(a, [&](const os::FolderEntry& e) {
        byHandle.emplace_back(e.name);
        return true;
    }));
    EXPECT_EQ(byHandle.size(), 2u);
    // Dates by name in the open folder.
    os::FileInfo info;
    ASSERT_TRUE(os::StatAt(a, "f\xC3\xA4.txt", info));
    EXPECT_EQ(info.size, 1u);
    EXPECT_GT(info.modified, os::MakeTime(1600000000, 0));
    EXPECT_TRUE(os::RemoveAt(a, "f\xC3\xA4.txt"));
    EXPECT_FALSE(os::StatAt(a, "f\xC3\xA4.txt", info));
    EXPECT_FALSE(os::ListFolder(dir / "none", [](const os::FolderEntry&) { return true; }));
}

TEST(OsFile, AFolderBeneathIsReachedOnlyThroughFolders) {
    test::TempDir dir;
    fs::create_directories(toPath(dir / "root/a/b"));
    fs::create_directories(toPath(dir / "outside"));
    test::WriteFile(dir / "root/a/file", "x");
    Held root(os::Open(dir / "root", os::kRead | os::kFolder));
    ASSERT_NE(root.h, os::kNoHandle);
    {
        Held b(os::OpenFolderBeneath(root, "a/b"));
        ASSERT_NE(b.h, os::kNoHandle);
        Held made(os::OpenAt(b, "new", os::kWrite | os::kCreate | os::kExclusive));
        EXPECT_NE(made.h, os::kNoHandle);
        EXPECT_TRUE(fs::exists(toPath(dir / "root/a/b/new")));
    }
    EXPECT_EQ(os::OpenFolderBeneath(root, "a/missing"), os::kNoHandle);
    EXPECT_EQ(os::LastError(), ENOENT);
    EXPECT_EQ(os::OpenFolderBeneath(root, "a/file"), os::kNoHandle);
    EXPECT_EQ(os::OpenFolderBeneath(root, "../outside"), os::kNoHandle);
    EXPECT_EQ(os::OpenFolderBeneath(root, "a/../../outside"), os::kNoHandle);
}

TEST(OsFile, LinksOnTheWayAreRefused) {
    STOWAWAY_NEEDS(SymbolicLinks);
    test::TempDir dir;
    fs::create_directories(toPath(dir / "root/a"));
    fs::create_directories(toPath(dir / "outside"));
    test::WriteFile(dir / "outside/secret", "s");
    fs::create_directory_symlink(toPath(dir / "outside"), toPath(dir / "root/a/link"));
    fs::create_symlink(toPath(dir / "outside/secret"), toPath(dir / "root/a/file-link"));
    Held root(os::Open(dir / "root", os::kRead | os::kFolder));
    ASSERT_NE(root.h, os::kNoHandle);
    EXPECT_EQ(os::OpenFolderBeneath(root, "a/link"), os::kNoHandle);
    Held a(os::OpenFolderBeneath(root, "a"));
    ASSERT_NE(a.h, os::kNoHandle);
    EXPECT_EQ(os::OpenAt(a, "link", os::kRead | os::kFolder | os::kNoFollow), os::kNoHandle);
    EXPECT_EQ(os::OpenAt(a, "file-link", os::kWrite | os::kNoFollow), os::kNoHandle);
    os::FileInfo info;
    ASSERT_TRUE(os::StatAt(a, "file-link", info, false));
    EXPECT_EQ(info.type, os::FileType::Link);
    ASSERT_TRUE(os::StatAt(a, "file-link", info, true));
    EXPECT_EQ(info.type, os::FileType::File);
    std::string target;
    ASSERT_TRUE(os::ReadLink(dir / "root/a/file-link", target));
    EXPECT_EQ(target, dir / "outside/secret");
    EXPECT_EQ(test::ReadFile(dir / "outside/secret"), "s");
}

TEST(OsFile, WorkFilesLeaveNoNameAndMapWhatWasWritten) {
    test::TempDir dir;
    const os::Handle nameless = os::CreateNameless(dir.path());
    ASSERT_NE(nameless, os::kNoHandle);
    const std::string bytes(100000, 'm');
    ASSERT_EQ(os::WriteAt(nameless, bytes.data(), bytes.size(), 0),
              static_cast<int64_t>(bytes.size()));
#ifndef _WIN32
    // Windows may keep the name until the file is closed (delete on close).
    EXPECT_TRUE(Listing(dir.path()).empty());
#endif
    os::Mapping map;
    ASSERT_TRUE(os::Map(nameless, bytes.size(), map));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.data), map.size), bytes);
    os::ReleasePages(map);  // read again from the file afterwards
    EXPECT_EQ(map.data[99999], 'm');
    // The mapping keeps the file after its handle is closed.
    os::Close(nameless);
    EXPECT_EQ(map.data[50000], 'm');
    os::Unmap(map);
    EXPECT_EQ(map.data, nullptr);
    EXPECT_TRUE(Listing(dir.path()).empty());

    std::string first, second;
    Held a(os::CreateUnique(dir / ".work-", first));
    Held b(os::CreateUnique(dir / ".work-", second));
    ASSERT_NE(a.h, os::kNoHandle);
    ASSERT_NE(b.h, os::kNoHandle);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(0, (dir / ".work-").size()), dir / ".work-");
    EXPECT_EQ(first.size(), (dir / ".work-").size() + 6);
    EXPECT_EQ(Listing(dir.path()).size(), 2u);
    EXPECT_TRUE(os::Sync(a));
    EXPECT_EQ(os::Reserve(a, 0, 4096), 0);
}

TEST(OsFile, ThisProcessIsAliveAndHasAHost) {
    EXPECT_TRUE(os::ProcessAlive(os::ProcessId()));
    EXPECT_FALSE(os::HostName().empty());
}

}  // namespace
}  // namespace stowaway
