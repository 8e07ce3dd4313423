#include <gtest/gtest.h>

#include "engine/versions/VersionNames.h"

namespace stowaway {
namespace {

ArchiveName Split(const std::string& location, char separator = '/') {
    ArchiveName name;
    EXPECT_TRUE(SplitArchiveName(location, separator, name)) << location;
    return name;
}

// Only exactly this Crate's dated names, with a real date, are its versions:
// another Crate with a similar stem, a user's own files and near misses are not.
TEST(VersionNames, OnlyTheCratesOwnDatedNamesMatch) {
    const ArchiveName docs = Split("/b/Docs.zip");
    struct Case {
        const char* leaf;
        bool matches;
        unsigned volume;
    } cases[] = {
        {"Docs-2026-12-06_020000.zip", true, 0},
        {"Docs-2026-12-06_020000.z01", true, 1},
        {"Docs-2026-12-06_020000.z123", true, 123},
        {"Docs-2024-02-29_235959.zip", true, 0},
        {"Docs-2025-02-29_000000.zip", false, 0},  // no leap day in 2025
        {"Docs-2026-04-31_000000.zip", false, 0},
        {"Docs-2026-13-01_000000.zip", false, 0},
        {"Docs-2026-12-06_240000.zip", false, 0},
        {"Docs-2026-12-06_026000.zip", false, 0},
        {"Docs-old-2026-12-06_020000.zip", false, 0},  // the Crate "Docs-old"
        {"Docs-2026-12-06_020000.zip.bak", false, 0},
        {"Docs-2026-12-06_020000 (copy).zip", false, 0},
        {"docs-2026-12-06_020000.zip", false, 0},
        {"Docs-2026-12-06_020000.ZIP", false, 0},
        {"Docs-2026-12-06_020000.z1", false, 0},
        {"Docs-2026-12-06_020000.z00", false, 0},
        {"Docs-2026-12-06_020000.z001", false, 0},
        {"Docs-2026-12-6_020000.zip", false, 0},
        {"Docs-+026-12-06_020000.zip", false, 0},
        {"Docs-2026-12-06_020000.zip.z01", false, 0},
        {"Docs.zip", false, 0},
        {"Docs-2026-12-06_020000.z99999999999", false, 0},
    };
    for (const Case& c : cases) {
        const std::optional<DatedLeafMatch> match = MatchDatedLeaf(docs, c.leaf);
        EXPECT_EQ(match.has_value(), c.matches) << c.leaf;
        if (match && c.matches) {
            EXPECT_EQ(match->volume, c.volume) << c.leaf;
        }
    }
}

// The names follow the archive's own spelling, as the archiver names volumes.
TEST(VersionNames, DatedNamesFollowTheArchivesSpelling) {
    const Stamp stamp{2026, 12, 6, 2, 0, 0};
    EXPECT_EQ(DatedLeaf(Split("/b/Docs.zip"), stamp), "Docs-2026-12-06_020000.zip");
    EXPECT_EQ(DatedLeaf(Split("/b/Docs.zip"), stamp, 2), "Docs-2026-12-06_020000.z02");
    EXPECT_EQ(DatedLeaf(Split("/b/DOCS.ZIP"), stamp, 1), "DOCS-2026-12-06_020000.Z01");
    EXPECT_EQ(DatedLeaf(Split("/b/backup"), stamp), "backup-2026-12-06_020000");
    EXPECT_EQ(DatedLeaf(Split("/b/my.docs.zip"), stamp), "my.docs-2026-12-06_020000.zip");
    const ArchiveName upper = Split("/b/DOCS.ZIP");
    EXPECT_TRUE(MatchDatedLeaf(upper, "DOCS-2026-12-06_020000.Z01"));
    EXPECT_FALSE(MatchDatedLeaf(upper, "DOCS-2026-12-06_020000.z01"));

    const ArchiveName root = Split("/Docs.zip");
    EXPECT_EQ(root.folder, "/");
    EXPECT_EQ(CurrentPath(root), "/Docs.zip");
    const ArchiveName windows = Split("C:\\Backup\\Docs.zip", '\\');
    EXPECT_EQ(windows.folder, "C:\\Backup");
    EXPECT_EQ(CurrentPath(windows), "C:\\Backup\\Docs.zip");
    ArchiveName none;
    EXPECT_FALSE(SplitArchiveName("/b/", '/', none));
}

}  // namespace
}  // namespace stowaway
