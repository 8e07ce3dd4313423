// The archiver's name handling without the program around it: the index
// that finds entries by name where the names lie, the restore path of a
// stored name, and the list file read a block at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListStream.h"
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

// Every path of the list, a batch at a time, whatever the batch size.
std::vector<std::string> ReadAll(pkzip::ListStream& list, size_t most) {
    std::vector<std::string> all;
    std::vector<std::string_view> batch;
    std::string error;
    while (list.Next(most, batch, error)) {
        EXPECT_LE(batch.size(), most);
        for (std::string_view p : batch) {
            EXPECT_EQ(p.data()[p.size()], '\0');  // usable as a C string
            all.emplace_back(p);
        }
    }
    EXPECT_EQ(error, "");
    return all;
}

TEST(ArchiverNames, AListFileBecomesPathsEachFollowedByANul) {
    tooltest::ScratchDir dir;
    std::string error;
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"/a/x\n/b/y\n", {"/a/x", "/b/y"}},
        {"/a/x\r\n\r\n\n/b/y", {"/a/x", "/b/y"}},  // CR LF, empty lines, no final line end
        {"/a b/x\ry\n", {"/a b/x\ry"}},            // a CR inside a line stays
        {"", {}},
    };
    for (const auto& [text, want] : cases) {
        stowaway::test::WriteFile(dir / "list.lst", text);
        pkzip::ListStream list;
        ASSERT_TRUE(list.Open(dir / "list.lst", error)) << error;
        EXPECT_EQ(ReadAll(list, 1), want) << text;
        ASSERT_TRUE(list.Rewind(error));
        EXPECT_EQ(ReadAll(list, 1000), want) << text;
    }
    pkzip::ListStream missing;
    EXPECT_FALSE(missing.Open(dir / "missing.lst", error));
    EXPECT_FALSE(error.empty());
}

// Read a block at a time: lines cut by a block's end, and one longer than
// a block, come out whole and in order.
TEST(ArchiverNames, AListLargerThanItsBlocksComesOutWholeAndInOrder) {
    tooltest::ScratchDir dir;
    std::vector<std::string> want;
    std::string text;
    for (int i = 0; i < 40000; ++i) {
        want.push_back("/home/ann/folder-" + std::to_string(i / 100) + "/file " +
                       std::to_string(i));
        if (i == 20000) want.back() += std::string(3u << 20, 'x');  // three blocks long
        text += want.back() + (i % 3 == 0 ? "\r\n" : "\n");
    }
    stowaway::test::WriteFile(dir / "list.lst", text);
    pkzip::ListStream list;
    std::string error;
    ASSERT_TRUE(list.Open(dir / "list.lst", error)) << error;
    EXPECT_EQ(list.CountLines(error), want.size() + 1);
    EXPECT_TRUE(ReadAll(list, 65536) == want);
    ASSERT_TRUE(list.Rewind(error));
    EXPECT_TRUE(ReadAll(list, 7) == want);
}

TEST(ArchiverNames, KeptTextStaysWhereItWasPutAndEndsInANul) {
    pkzip::TextArena arena;
    std::vector<std::string_view> kept;
    std::vector<std::string> want;
    for (int i = 0; i < 30000; ++i) {
        want.push_back("/some/path/" + std::to_string(i) + std::string(i % 97, 'p'));
        if (i == 100) want.back() += std::string(2u << 20, 'y');  // larger than a block
        kept.push_back(arena.Keep(want.back()));
    }
    for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(kept[i], want[i]);
        ASSERT_EQ(kept[i].data()[kept[i].size()], '\0');
    }
}

// Grown one name at a time, the index finds the first of each name as one
// built at once does, through every growth.
TEST(ArchiverNames, AnIndexGrownByInsertsKeepsTheFirstOfEachName) {
    std::vector<std::string> names;
    for (int i = 0; i < 20000; ++i) names.push_back("n/" + std::to_string(i % 7000));
    NameIndex index;
    index.Start([&](size_t i) { return std::string_view(names[i]); });
    EXPECT_EQ(index.Find("n/0"), NameIndex::kNone);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(index.Insert(i), i < 7000) << i;
    for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(index.Find(names[i]), i % 7000);
    EXPECT_EQ(index.Find("n/7000"), NameIndex::kNone);
}

}  // namespace
