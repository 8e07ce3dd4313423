// Which files a restore's patterns pick across a Crate's versions.
#include <gtest/gtest.h>

#include "engine/versions/FilePick.h"

namespace stowaway {
namespace {

VersionEntries Version(const std::string& path, int day, std::vector<std::string> names,
                       const std::string& problem = "") {
    VersionEntries v;
    v.version.path = path;
    v.version.stamp = Stamp{2026, 12, day, 2, 0, 0};
    for (const std::string& n : names) {
        ListedEntry e;
        e.name = n;
        e.folder = !n.empty() && n.back() == '/';
        v.listing.entries.push_back(e);
    }
    v.listing.problem = problem;
    return v;
}

std::vector<std::string> Picked(const FilePick& pick) {
    std::vector<std::string> out;
    for (const PickedFile& f : pick.files) out.push_back(f.archive + ":" + f.entry.name);
    return out;
}

// Newest first, as FindVersions lists them.
const std::vector<VersionEntries> Versions = {
    Version("Docs.zip", 7, {"home/u/a.txt", "home/u/docs/", "home/u/docs/x.TXT"}),
    Version("Docs-6.zip", 6, {"home/u/a.txt", "home/u/gone.txt", "home/u/docs/y.txt"}),
    Version("Docs-5.zip", 5, {"home/u/a.txt", "home/u/gone.txt", "home/u/older.txt"}),
};

TEST(FilePick, EachFileComesFromTheNewestVersionThatHoldsIt) {
    const FilePick pick =
        PickFiles(Versions, {"home/u/a.txt", "/home/u/gone.txt", "home/u/older.txt"});
    EXPECT_EQ(Picked(pick),
              (std::vector<std::string>{"Docs.zip:home/u/a.txt", "Docs-6.zip:home/u/gone.txt",
                                        "Docs-5.zip:home/u/older.txt"}));
    EXPECT_TRUE(pick.unmatched.empty());
}

TEST(FilePick, AChosenVersionGivesOnlyItsOwnFiles) {
    const FilePick pick = PickFiles(Versions, {"home/u/a.txt", "home/u/docs/"}, 2);
    EXPECT_EQ(Picked(pick), std::vector<std::string>{"Docs-5.zip:home/u/a.txt"});
    EXPECT_EQ(pick.unmatched, std::vector<std::string>{"home/u/docs/"});
}

TEST(FilePick, FoldersAndWildcardsTakeEveryFileOnceAndNeverAFoldersOwnEntry) {
    // A folder with or without its slash; a wildcard without '/' on the last part
    // (ignoring case), one with '/' on the whole name.
    EXPECT_EQ(
        Picked(PickFiles(Versions, {"home/u/docs"})),
        (std::vector<std::string>{"Docs.zip:home/u/docs/x.TXT", "Docs-6.zip:home/u/docs/y.txt"}));
    EXPECT_EQ(
        Picked(PickFiles(Versions, {"*.txt", "home/u/a.txt"})),
        (std::vector<std::string>{"Docs.zip:home/u/a.txt", "Docs.zip:home/u/docs/x.TXT",
                                  "Docs-6.zip:home/u/gone.txt", "Docs-6.zip:home/u/docs/y.txt",
                                  "Docs-5.zip:home/u/older.txt"}));
    EXPECT_EQ(Picked(PickFiles(Versions, {"home/*/g?ne.txt"})),
              std::vector<std::string>{"Docs-6.zip:home/u/gone.txt"});
    // "home/u/doc" is no folder of "home/u/docs/...".
    const FilePick none = PickFiles(Versions, {"home/u/doc", "nothing*"});
    EXPECT_TRUE(none.files.empty());
    EXPECT_EQ(none.unmatched, (std::vector<std::string>{"home/u/doc", "nothing*"}));
}

TEST(FilePick, AnExactNameWithWildcardCharactersIsItself) {
    const std::vector<VersionEntries> versions = {
        Version("Docs.zip", 7, {"d/[draft] *.txt", "d/[draft] 1.txt", "d/t 1.txt"})};
    EXPECT_EQ(Picked(PickFiles(versions, {"d/[draft] *.txt"})),
              std::vector<std::string>{"Docs.zip:d/[draft] *.txt"});
}

TEST(FilePick, ADamagedVersionIsPassedOverUnlessItIsTheOneChosen) {
    const std::vector<VersionEntries> versions = {
        Version("Docs.zip", 7, {"a.txt"}, "damaged: no end of central directory record"),
        Version("Docs-6.zip", 6, {"a.txt"}),
    };
    EXPECT_EQ(Picked(PickFiles(versions, {"a.txt"})), std::vector<std::string>{"Docs-6.zip:a.txt"});
    EXPECT_EQ(Picked(PickFiles(versions, {"a.txt"}, 0)),
              std::vector<std::string>{"Docs.zip:a.txt"});
}

}  // namespace
}  // namespace stowaway
