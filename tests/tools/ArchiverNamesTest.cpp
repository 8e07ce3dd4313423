// The archiver's name handling without the program around it: the index
// that finds entries by name where the names lie, the restore path of a
// stored name, and the list file read into one block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NameIndex.h"
#include "Names.h"
#include "support/TestPlatforms.h"
#include "tools/ToolTestSupport.h"

namespace {

using pkzip::NameIndex;

TEST(ArchiverNames, TheIndexFindsTheFirstOfEachNameAmongManyAndNothingElse) {
    std::vector<std::string> names;
    for (int i = 0; i < 5000; ++i) names.push_back("folder/" + std::to_string(i % 3000) + ".txt");
    names.push_back("");  // an empty name is a name too
    NameIndex index;
    index.Build(names.size(), [&](size_t i) { return std::string_view(names[i]); });
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(index.Find(names[i]), i < 3000 || i == 5000 ? i : i - 3000) << names[i];
    }
    EXPECT_EQ(index.Find("folder/3000.txt"), NameIndex::kNone);
    EXPECT_EQ(index.Find("folder/1.tx"), NameIndex::kNone);

    // Entries left out are not found, and a later one of the name stands in.
    NameIndex some;
    some.Build(
        names.size(), [&](size_t i) { return std::string_view(names[i]); },
        [](size_t i) { return i % 2 == 1; });
    EXPECT_EQ(some.Find("folder/2.txt"), NameIndex::kNone);  // only at 2 (and 3002, even)
    EXPECT_EQ(some.Find("folder/3.txt"), 3u);
    EXPECT_EQ(some.Find("folder/4.txt"), NameIndex::kNone);
    EXPECT_EQ(some.Find("folder/5.txt"), 5u);
    NameIndex empty;
    EXPECT_EQ(empty.Find("x"), NameIndex::kNone);
}

// The path a restore writes to is SafeComponents joined, for every kind of name.
TEST(ArchiverNames, TheRestorePathIsTheSafeComponentsJoined) {
    const std::vector<std::string> names = {
        "a.txt",       "a/b/c.txt", "a/b/", "./a//b/./c", "a/../b",
        "a/b/../../c", "a/..",      "../a", "a/../../b",  "/abs",
        "\\abs",       "C:/x",      "c:x",  "a\\..\\b",   "..\\x",
        "x/..\\y",     ".",         "",     "a/./",       "dir/sub/../file",
        "trailing/"};
    for (const std::string& name : names) {
        const auto parts = pkzip::SafeComponents(name);
        std::string joined;
        const bool safe = pkzip::SafeRelativePath(name, joined);
        ASSERT_EQ(safe, parts.has_value()) << name;
        if (!safe) continue;
        std::string expected;
        for (const std::string& p : *parts) expected += (expected.empty() ? "" : "/") + p;
        EXPECT_EQ(joined, expected) << name;
    }
}

TEST(ArchiverNames, AListFileBecomesPathsEachFollowedByANul) {
    tooltest::ScratchDir dir;
    std::vector<std::string_view> paths;
    std::string error;
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"/a/x\n/b/y\n", {"/a/x", "/b/y"}},
        {"/a/x\r\n\r\n\n/b/y", {"/a/x", "/b/y"}},  // CR LF, empty lines, no final line end
        {"/a b/x\ry\n", {"/a b/x\ry"}},            // a CR inside a line stays
        {"", {}},
    };
    for (const auto& [text, want] : cases) {
        stowaway::test::WriteFile(dir / "list.lst", text);
        std::string block;
        paths.clear();
        ASSERT_TRUE(pkzip::ReadListFile(dir / "list.lst", block, paths, error)) << error;
        ASSERT_EQ(paths.size(), want.size()) << text;
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(paths[i], want[i]);
            EXPECT_EQ(paths[i].data()[paths[i].size()], '\0');  // usable as a C string
        }
    }
    std::string block;
    EXPECT_FALSE(pkzip::ReadListFile(dir / "missing.lst", block, paths, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
