// The central directory read into a compact listing: records, the tree worked
// out from the sorted names, search, and directories that lie.
#include <gtest/gtest.h>

#include "ListingZip.h"
#include "engine/versions/VersionListing.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::ZipItem;

class VersionListingTest : public ::testing::Test {
  protected:
    VersionListing read(const std::string& bytes) {
        test::WriteFile(dir / "a.zip", bytes);
        return VersionListing(SourceOfFiles(platform, {dir / "a.zip"}));
    }
    std::vector<std::string> childNames(const VersionListing& listing, std::string_view prefix) {
        std::vector<std::string> out;
        for (const ListingChild& child : listing.children(prefix))
            out.push_back(std::string(child.name) + (child.folder ? "/" : ""));
        return out;
    }
    std::vector<std::string> names(const VersionListing& listing,
                                   const std::vector<std::uint32_t>& entries) {
        std::vector<std::string> out;
        for (const std::uint32_t e : entries) out.emplace_back(listing.name(e));
        return out;
    }

    test::TempDir dir;
    NativePlatform platform;
};

TEST_F(VersionListingTest, EveryRecordKeepsItsNameSizeCrcAndDate) {
    const VersionListing listing = read(test::ItemZip({
        {"home/ann/a.txt", "alpha", 0x11223344, (45 << 9) | (2 << 5) | 29,
         (13 << 11) | (5 << 5) | 7},
        {"home/ann/Grüße.txt", "beta!!", 0xCAFEBABE},
    }));
    EXPECT_EQ(listing.problem(), "");
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing.name(0), "home/ann/a.txt");
    EXPECT_EQ(listing.entry(0).size, 5u);
    EXPECT_EQ(listing.entry(0).crc, 0x11223344u);
    EXPECT_EQ(EntryTimeText(listing.entry(0)), "2025-02-29 13:05:14");
    EXPECT_EQ(listing.name(1), "home/ann/Grüße.txt");
    EXPECT_EQ(listing.entry(1).crc, 0xCAFEBABEu);
}

TEST_F(VersionListingTest, ADirectoryThatSpansTwoVolumesIsReadAcross) {
    std::vector<ZipItem> items;
    for (int i = 0; i < 40; ++i) items.push_back({"d/file" + std::to_string(i), "x"});
    const test::ZipParts parts = test::Parts(items);
    // The directory starts in the first volume and ends in the last.
    const std::size_t cut = parts.central.size() / 2;
    test::WriteFile(dir / "s.z01", parts.local + parts.central.substr(0, cut));
    test::WriteFile(dir / "s.zip", parts.central.substr(cut) + test::EndRecord(1, 0, items.size(),
                                                                               parts.central.size(),
                                                                               parts.local.size()));
    const VersionListing listing(SourceOfFiles(platform, {dir / "s.z01", dir / "s.zip"}));
    EXPECT_EQ(listing.problem(), "");
    ASSERT_EQ(listing.size(), 40u);
    EXPECT_EQ(listing.name(39), "d/file39");

    // The same set with its first volume gone is said to be so.
    std::filesystem::remove(toPath(dir / "s.z01"));
    const VersionListing missing(SourceOfFiles(platform, {dir / "s.z01", dir / "s.zip"}));
    EXPECT_NE(missing.problem(), "");
}

TEST_F(VersionListingTest, TheTreeGivesEachFoldersChildrenFoldersFirst) {
    const VersionListing listing = read(test::ItemZip({
        {"home/ann/z.txt", "1"},
        {"home/ann/docs/", ""},
        {"home/ann/docs/b.txt", "2"},
        {"home/ann/docs/deep/c.txt", "3"},
        {"home/ann-old/x", "4"},
        {"home/ann/a.txt", "5"},
        {"etc/hosts", "6"},
        {"top.txt", "7"},
    }));
    EXPECT_EQ(childNames(listing, ""), (std::vector<std::string>{"etc/", "home/", "top.txt"}));
    EXPECT_EQ(childNames(listing, "home/"), (std::vector<std::string>{"ann/", "ann-old/"}));
    EXPECT_EQ(childNames(listing, "home/ann/"),
              (std::vector<std::string>{"docs/", "a.txt", "z.txt"}));
    // A folder stored as an entry of its own is a folder, not a file.
    EXPECT_EQ(childNames(listing, "home/ann/docs/"), (std::vector<std::string>{"deep/", "b.txt"}));
    EXPECT_TRUE(childNames(listing, "nothing/").empty());

    EXPECT_EQ(names(listing, listing.filesUnder("home/ann/")),
              (std::vector<std::string>{"home/ann/a.txt", "home/ann/docs/b.txt",
                                        "home/ann/docs/deep/c.txt", "home/ann/z.txt"}));
    EXPECT_EQ(listing.name(listing.find("etc/hosts")), "etc/hosts");
    EXPECT_EQ(listing.find("etc/host"), VersionListing::NoEntry);
}

TEST_F(VersionListingTest, SearchMatchesLastComponentsOrWholeNamesWithoutCase) {
    const VersionListing listing = read(test::ItemZip({
        {"home/ann/Report-2026.ODT", "1"},
        {"home/ann/report.txt", "2"},
        {"home/ann/reports/", ""},
        {"home/ann/reports/q1.txt", "3"},
        {"home/bob/notes.txt", "4"},
    }));
    EXPECT_EQ(names(listing, listing.search(SearchWildcard("report"), 10)),
              (std::vector<std::string>{"home/ann/Report-2026.ODT", "home/ann/report.txt"}));
    EXPECT_EQ(names(listing, listing.search(SearchWildcard("*.txt"), 10)),
              (std::vector<std::string>{"home/ann/report.txt", "home/ann/reports/q1.txt",
                                        "home/bob/notes.txt"}));
    EXPECT_EQ(names(listing, listing.search(SearchWildcard("  home/bob/*  "), 10)),
              (std::vector<std::string>{"home/bob/notes.txt"}));
    EXPECT_EQ(listing.search(SearchWildcard("*.txt"), 2).size(), 2u);
    EXPECT_EQ(SearchWildcard("   "), "");
}

TEST_F(VersionListingTest, HostileNamesAreMarkedAndNeverBreakTheTree) {
    const VersionListing listing = read(test::ItemZip({
        {"../../etc/passwd", "1"},
        {"/abs/file", "2"},
        {std::string("nul\0name", 8), "3"},
        {"a/../../b", "4"},
        {"ok/file", "5"},
        {"C:/win", "6"},
        {"a//b", "7"},
    }));
    ASSERT_EQ(listing.size(), 7u);
    for (std::uint32_t e = 0; e < 7; ++e)
        EXPECT_EQ((listing.entry(e).marks & CompactEntry::Unsafe) != 0,
                  listing.name(e) != "ok/file" && listing.name(e) != "a//b")
            << listing.name(e);
    // Every folder of the tree can be walked without end or crash.
    std::vector<std::string> open{""};
    int folders = 0;
    while (!open.empty() && folders < 100) {
        const std::string prefix = open.back();
        open.pop_back();
        ++folders;
        for (const ListingChild& child : listing.children(prefix))
            if (child.folder) open.push_back(prefix + std::string(child.name) + "/");
    }
    EXPECT_LT(folders, 100);
}

TEST_F(VersionListingTest, DirectoriesThatLieAreDamagedAndAllocateNothingTheyClaim) {
    const std::string good = test::ItemZip({{"a", "1"}, {"b", "2"}});
    const test::ZipParts parts = test::Parts({{"a", "1"}, {"b", "2"}});
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"end record claims 65535 entries",
         parts.local + parts.central +
             test::EndRecord(0, 0, 0xFFFF, parts.central.size(), parts.local.size())},
        {"end record claims fewer entries",
         parts.local + parts.central +
             test::EndRecord(0, 0, 1, parts.central.size(), parts.local.size())},
        {"directory size past the file",
         parts.local + parts.central + test::EndRecord(0, 0, 2, 0xFFFFFF00u, parts.local.size())},
        {"a record cut short",
         parts.local + parts.central.substr(0, parts.central.size() - 1) +
             test::EndRecord(0, 0, 2, parts.central.size() - 1, parts.local.size())},
        {"a name running past the directory",
         [&] {
             std::string central = parts.central;
             central[28] = '\xFF';  // the first name's length
             central[29] = '\xFF';
             return parts.local + central +
                    test::EndRecord(0, 0, 2, central.size(), parts.local.size());
         }()},
        {"garbage where a record should be",
         [&] {
             std::string central = parts.central;
             central[central.size() - 10] = 'X';
             central.replace(parts.central.find("PK\x01\x02", 4), 4, "JUNK");
             return parts.local + central +
                    test::EndRecord(0, 0, 2, central.size(), parts.local.size());
         }()},
        {"no end record", good.substr(0, good.size() - 22)},
        {"empty file", ""},
    };
    for (const Case& c : cases) {
        const VersionListing listing = read(c.bytes);
        EXPECT_NE(listing.problem(), "") << c.what;
        EXPECT_LE(listing.size(), 2u) << c.what;
        EXPECT_LT(listing.heldBytes(), 4096u) << c.what;
    }
    EXPECT_EQ(read(good).problem(), "");
}

TEST_F(VersionListingTest, AnEntryCostsItsNameAndAFewDozenBytes) {
    VersionListing listing;
    const std::string name(40, 'n');
    for (int i = 0; i < 100000; ++i) {
        CentralRecord record;
        record.name = name;
        listing.add(record);
    }
    ASSERT_EQ(listing.children("").size(), 100000u);
    EXPECT_LE(listing.heldBytes(), 100000u * (40 + sizeof(CompactEntry) + 4) * 2);
    EXPECT_LE(sizeof(CompactEntry), 32u);
}

}  // namespace
}  // namespace stowaway
