// Paths past MAX_PATH (260 characters) on Windows. Windows refuses them unless
// they carry the \\?\ prefix that NativeText adds; Wine takes them either way, so
// there only the checks of the prefix itself can fail. On a real Windows machine
// every step below fails without it.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/NativeText.h"
#include "platform/OpenFolder.h"
#include "platform/Win32Platform.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

bool HasLongPrefix(const fs::path& path) {
    return path.native().rfind(LR"(\\?\)", 0) == 0;
}

// base plus folders with long names until the whole is at least `length` long.
std::string DeepFolder(std::string base, std::size_t length) {
    for (int part = 0; base.size() < length; ++part)
        base += "\\a folder name of fifty characters or so, part " + std::to_string(part);
    return base;
}

// The folders below `existing` down to `deep`, one CreateDirectoryW at a time on
// the path toPath gives, without std::filesystem's own splitting of the path.
bool MakeFolders(const std::string& existing, const std::string& deep) {
    for (std::size_t at = deep.find('\\', existing.size() + 1);; at = deep.find('\\', at + 1)) {
        const std::string folder = deep.substr(0, at);
        if (!::CreateDirectoryW(toPath(folder).c_str(), nullptr)) return false;
        if (at == std::string::npos) return true;
    }
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Folders are removed one by one: the C runtime's folder listing, under
// std::filesystem's remove_all and directory_iterator, stops at MAX_PATH even
// with the prefix.
void RemoveDeepFolder(const std::string& top, std::string deep) {
    while (deep.size() >= top.size()) {
        EXPECT_TRUE(fs::remove(toPath(deep))) << deep.size();
        deep.erase(deep.rfind('\\'));
    }
}

TEST(LongPaths, FilesAreWrittenListedAndRemovedUnderAFolderOf300Characters) {
    test::TempDir dir;
    Win32Platform platform(dir.path());
    const std::string top = dir.path() + "\\deep";
    const std::string deep = DeepFolder(top, 300);
    ASSERT_TRUE(HasLongPrefix(toPath(deep)));
    ASSERT_TRUE(MakeFolders(dir.path(), deep));
    EXPECT_TRUE(platform.folderExists(deep));
    EXPECT_EQ(platform.createNewFile(deep + "\\Stowaway.dat", "kept"), CreateStatus::Created);
    EXPECT_TRUE(platform.replaceFile(deep + "\\Ärger.txt",
                                     [](std::ostream& out) { return bool(out << "replaced"); }));
    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform.listDirectory(deep, entries));
    std::set<std::string> names;
    for (const DirEntry& entry : entries) names.insert(entry.name);
    EXPECT_EQ(names, (std::set<std::string>{"Stowaway.dat", "Ärger.txt"}));
    names.clear();
    const std::unique_ptr<OpenFolder> folder = platform.openFolder(deep);
    ASSERT_TRUE(folder);
    for (FolderEntry entry; folder->next(entry);) names.insert(std::string(entry.name));
    EXPECT_FALSE(folder->failed());
    EXPECT_EQ(names, (std::set<std::string>{"Stowaway.dat", "Ärger.txt"}));
    EXPECT_TRUE(folder->modified("Ärger.txt"));
    std::string contents;
    EXPECT_EQ(platform.readWholeFile(deep + "\\Ärger.txt", contents), ReadStatus::Read);
    EXPECT_EQ(contents, "replaced");
    EXPECT_EQ(ReadAll(toPath(deep + "\\Stowaway.dat")), "kept");
    EXPECT_EQ(platform.fileSize(deep + "\\Stowaway.dat"), 4u);
    EXPECT_TRUE(platform.removeFile(deep + "\\Stowaway.dat"));
    EXPECT_TRUE(platform.removeFile(deep + "\\Ärger.txt"));
    EXPECT_FALSE(platform.fileExists(deep + "\\Ärger.txt"));
    RemoveDeepFolder(top, deep);
    EXPECT_FALSE(platform.folderExists(top));
}

// Restores the current folder when the test ends.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::string& folder) : old_(fs::current_path()) {
        fs::current_path(toPath(folder));
    }
    ~CurrentFolder() { fs::current_path(old_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

  private:
    fs::path old_;
};

TEST(LongPaths, ARelativePathLongOnlyOnceTheCurrentFolderIsJoinedTakesThePrefix) {
    test::TempDir dir;
    // The current folder itself stays within MAX_PATH, as Windows demands of it.
    const std::string base = DeepFolder(dir.path(), 180);
    ASSERT_LT(base.size(), 240u);
    ASSERT_TRUE(MakeFolders(dir.path(), base));
    const std::string relative = DeepFolder("here", 100);
    {
        CurrentFolder in(base);
        EXPECT_EQ(toPath("short.txt").native(), L"short.txt");  // short ones stay relative
        const fs::path folder = toPath(relative);
        ASSERT_TRUE(HasLongPrefix(folder)) << fromPath(folder);
        EXPECT_EQ(fromPath(folder), base + "\\" + relative);
        ASSERT_TRUE(MakeFolders("", relative));  // each through the relative path
        std::ofstream(toPath(relative + "\\file.txt"), std::ios::binary) << "relative";
    }
    EXPECT_EQ(ReadAll(toPath(base + "\\" + relative + "\\file.txt")), "relative");
    EXPECT_TRUE(fs::remove(toPath(base + "\\" + relative + "\\file.txt")));
    RemoveDeepFolder(base + "\\here", base + "\\" + relative);
}

}  // namespace
}  // namespace stowaway
