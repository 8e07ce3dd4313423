// The versions of a Crate as the browser lists them: checks, damaged and
// incomplete kept archives beside whole ones, search across versions and a
// file's history.
#include <gtest/gtest.h>

#include <filesystem>

#include "ListingZip.h"
#include "engine/versions/VersionCatalogue.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::ZipItem;

class VersionCatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SplitArchiveName(dir / "Docs.zip", platform.style().separator(), name));
    }

    std::vector<std::string> hitNames(VersionCatalogue& catalogue,
                                      const std::vector<CatalogueHit>& hits) {
        std::vector<std::string> out;
        for (const CatalogueHit& hit : hits)
            out.push_back(
                catalogue.versions()[hit.version].archive.path.substr(dir.path().size() + 1) + ":" +
                std::string(catalogue.listing(hit.version)->name(hit.entry)));
        return out;
    }

    test::TempDir dir;
    NativePlatform platform;
    ArchiveName name;
};

TEST_F(VersionCatalogueTest, DamagedAndIncompleteVersionsAreShownAndTheOthersStillList) {
    test::WriteFile(dir / "Docs.zip", test::ItemZip({{"a", "3"}, {"b", "3"}}));
    test::WriteFile(dir / "Docs-2026-12-05_020000.zip", test::ItemZip({{"a", "2"}}));
    const std::string whole = test::ItemZip({{"a", "1"}, {"c", "1"}});
    // Cut inside its central directory, end record kept: damaged.
    test::WriteFile(dir / "Docs-2026-12-04_020000.zip",
                    whole.substr(0, whole.size() - 22 - 5) + whole.substr(whole.size() - 22));
    // The last volume of a set whose first volume is gone: incomplete.
    const std::vector<std::string> set = test::TinySet(2);
    test::WriteFile(dir / "Docs-2026-12-03_020000.zip", set[1]);
    test::WriteFile(dir / "Docs-2026-12-02_020000.zip", test::ItemZip({{"a", "0"}}));
    test::WriteFile(dir / "Other-2026-12-02_020000.zip", test::ItemZip({{"x", "0"}}));

    CrateRunState run;
    run.result = RunResult::Ok;
    VersionCatalogue catalogue(platform, name, &run);
    const std::vector<CatalogueVersion>& versions = catalogue.versions();
    ASSERT_EQ(versions.size(), 5u);
    EXPECT_TRUE(versions[0].archive.current);
    EXPECT_TRUE(versions[0].checked);
    EXPECT_EQ(versions[0].check, "passed");
    EXPECT_EQ(versions[1].check, "passed");
    EXPECT_FALSE(versions[2].checked);
    EXPECT_EQ(versions[2].check.rfind("damaged: ", 0), 0u) << versions[2].check;
    EXPECT_FALSE(versions[3].checked);
    EXPECT_EQ(versions[3].check.rfind("incomplete: ", 0), 0u) << versions[3].check;
    EXPECT_TRUE(versions[4].checked);

    EXPECT_EQ(catalogue.listing(2), nullptr);
    EXPECT_EQ(catalogue.listing(3), nullptr);
    ASSERT_NE(catalogue.listing(4), nullptr);
    EXPECT_EQ(catalogue.listing(4)->size(), 1u);
    bool more = false;
    EXPECT_EQ(hitNames(catalogue, catalogue.search("a", 10, more)),
              (std::vector<std::string>{"Docs.zip:a", "Docs-2026-12-05_020000.zip:a",
                                        "Docs-2026-12-02_020000.zip:a"}));
    EXPECT_FALSE(more);
}

TEST_F(VersionCatalogueTest, TheCurrentArchivesCheckIsTheLastBackupsResult) {
    test::WriteFile(dir / "Docs.zip", test::ItemZip({{"a", "3"}}));
    CrateRunState failed;
    failed.result = RunResult::Failed;
    failed.error = "PKZIP: disk full";
    EXPECT_EQ(VersionCatalogue(platform, name, &failed).versions()[0].check,
              "last backup failed: PKZIP: disk full");
    EXPECT_FALSE(VersionCatalogue(platform, name, &failed).versions()[0].checked);
    EXPECT_EQ(VersionCatalogue(platform, name, nullptr).versions()[0].check, "no backup recorded");
    EXPECT_TRUE(VersionCatalogue(platform, name, nullptr).listing(0));
}

TEST_F(VersionCatalogueTest, SearchStopsAtItsLimitAndSaysThereWasMore) {
    std::vector<ZipItem> items;
    for (int i = 0; i < 30; ++i) items.push_back({"f" + std::to_string(i) + ".txt", "x"});
    test::WriteFile(dir / "Docs.zip", test::ItemZip(items));
    test::WriteFile(dir / "Docs-2026-12-05_020000.zip", test::ItemZip(items));
    VersionCatalogue catalogue(platform, name, nullptr);
    bool more = false;
    EXPECT_EQ(catalogue.search("*.txt", 45, more).size(), 45u);
    EXPECT_TRUE(more);
    EXPECT_EQ(catalogue.search("*.txt", 60, more).size(), 60u);
    EXPECT_FALSE(more);
    EXPECT_TRUE(catalogue.search("  ", 60, more).empty());
}

TEST_F(VersionCatalogueTest, AFilesHistorySaysWhereItChanged) {
    // Newest to oldest: changed content, same, absent, first.
    test::WriteFile(dir / "Docs.zip", test::ItemZip({{"d/f", "v3", 3}}));
    test::WriteFile(dir / "Docs-2026-12-05_020000.zip", test::ItemZip({{"d/f", "v2", 2}}));
    test::WriteFile(dir / "Docs-2026-12-04_020000.zip", test::ItemZip({{"d/f", "v2", 2}}));
    test::WriteFile(dir / "Docs-2026-12-03_020000.zip", test::ItemZip({{"d/g", "v1", 1}}));
    test::WriteFile(dir / "Docs-2026-12-02_020000.zip", test::ItemZip({{"d/f", "v2", 2}}));
    test::WriteFile(dir / "Docs-2026-12-01_020000.zip", test::ItemZip({{"d/f", "v01", 2}}));
    VersionCatalogue catalogue(platform, name, nullptr);
    const std::vector<HistoryLine> history = catalogue.history("d/f");
    ASSERT_EQ(history.size(), 5u);
    const std::vector<std::size_t> versions = {0, 1, 2, 4, 5};
    const std::vector<FileChange> changes = {FileChange::Changed, FileChange::Same,
                                             FileChange::Same, FileChange::Changed,
                                             FileChange::First};
    for (std::size_t i = 0; i < history.size(); ++i) {
        EXPECT_EQ(history[i].version, versions[i]) << i;
        EXPECT_EQ(history[i].change, changes[i]) << i;
    }
    EXPECT_TRUE(catalogue.history("d/none").empty());
}

}  // namespace
}  // namespace stowaway
