// A list file several blocks long, read a block at a time: a name listed
// twice far apart (in other spellings of its path) is stored once, where it
// was listed first, in a backup and in an update alike, and an update finds
// exactly the newer and the new files among thousands.
#include <gtest/gtest.h>

#include <set>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

class ArchiverLongList : public ArchiverFixture {
  protected:
    RunResult Add(bool update) {
        return RunProgram({Archiver(), update ? "-add=update" : "-add=all", "-lev=1", "-path=full",
                           archive, "@" + list});
    }
    // The names that "Adding:" or "Updating:" lines name, in order.
    static std::vector<std::string> StoredNames(const std::string& output) {
        std::vector<std::string> names;
        for (const std::string& l : Lines(output)) {
            size_t at = l.find("Adding: ");
            const size_t skip = at != std::string::npos ? 8 : 10;
            if (at == std::string::npos) at = l.find("Updating: ");
            if (at != std::string::npos)
                names.push_back(l.substr(at + skip, l.find("  ", at + skip) - at - skip));
        }
        return names;
    }
    std::vector<std::string> Entries() {
        return Lines(Python("import sys, zipfile\n"
                            "for n in zipfile.ZipFile(sys.argv[1]).namelist(): print(n)\n",
                            {archive})
                         .output);
    }
};

TEST_F(ArchiverLongList, ANameListedTwiceBlocksApartIsStoredOnceWhereFirstListed) {
    // 9,000 files with paths of about 200 bytes: close to two blocks of list.
    const std::string deep =
        "a-folder-with-a-name-long-enough-to-fill-the-list-quickly/" + std::string(90, 'd') + "/";
    std::vector<std::string> paths, names;
    for (int i = 0; i < 9000; ++i) {
        paths.push_back(
            AddFile(deep + "f" + std::to_string(i / 100) + "/file-" + std::to_string(i) + ".txt",
                    "content " + std::to_string(i)));
        SetMtime(paths.back(), 1500000000);
        names.push_back(tooltest::Stored(paths.back()));
    }
    std::vector<std::string> listed = paths;
    // The same names again, spelt otherwise, and a missing file twice.
    for (int i = 0; i < 9000; i += 450) listed.push_back("/." + paths[i]);
    listed.insert(listed.begin() + 10, dir / "data/gone.txt");
    listed.push_back(dir / "data/./gone.txt");
    WriteListFile(list, listed);

    RunResult r = Add(false);
    EXPECT_EQ(r.status, 1) << r.output;  // the missing file
    EXPECT_EQ(StoredNames(r.output), names);
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(Entries(), names);
    }
    EXPECT_EQ(CountLinesWith(r.output, "gone.txt"), 1) << r.output;

    // Some files newer, among them ones listed twice, and new files listed
    // at the start and again at the end.
    std::set<std::string> newer;
    for (int i = 0; i < 9000; i += 300) {
        SetMtime(paths[i], 1600000000);
        newer.insert(names[i]);
    }
    const std::string fresh = AddFile("new/first.txt", "new");
    listed.insert(listed.begin(), fresh);
    listed.push_back(fresh);
    WriteListFile(list, listed);
    r = Add(true);
    EXPECT_EQ(r.status, 1) << r.output;
    const std::vector<std::string> stored = StoredNames(r.output);
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(stored.front(), tooltest::Stored(fresh));
    EXPECT_EQ(std::set<std::string>(stored.begin() + 1, stored.end()), newer);
    EXPECT_EQ(stored.size(), newer.size() + 1);
    EXPECT_EQ(CountLinesWith(r.output, "gone.txt"), 1) << r.output;
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(Entries().size(), names.size() + 1);
    }

    r = Add(true);
    EXPECT_NE(r.output.find("is up to date"), std::string::npos) << r.output;
}

}  // namespace
