// Reading an archive's names, sizes, dates and CRCs from its central directory:
// the archiver's own archives, split sets, other tools' archives, damage.
#include <gtest/gtest.h>

#include <filesystem>

#include "ZipBytes.h"
#include "engine/versions/CentralListing.h"
#include "support/TestPlatforms.h"
#include "tools/ToolTestSupport.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

class CentralListingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "Europe/Berlin", 1);
        ::tzset();
        ASSERT_TRUE(SplitArchiveName(dir / "out/Docs.zip", '/', name));
        fs::create_directories(toPath(dir / "out"));
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }
    CentralListing read(const std::string& last = "") const {
        return ReadCentralListing(platform, name, last.empty() ? CurrentPath(name) : last);
    }
    static std::vector<std::string> names(const CentralListing& listing) {
        std::vector<std::string> out;
        for (const ListedEntry& e : listing.entries) out.push_back(e.name);
        return out;
    }

    test::TempDir dir;
    NativePlatform platform{dir.path()};
    ArchiveName name;
};

TEST_F(CentralListingTest, ReadsTheArchiversOwnEntriesWithTheirTimesSizesAndCrcs) {
    const std::string built = STOWAWAY_PROGRAM_DIR;
    if (!fs::exists(toPath(built + "/PKZIP25.EXE")))
        GTEST_SKIP() << "the archiver is not built yet";
    const std::string hello = dir / "data/Grüße/hello world.txt";
    const std::string big = dir / "data/big.bin";
    test::WriteFile(hello, "hello");
    test::WriteFile(big, tooltest::Noise(300000, 7));
    tooltest::SetMtime(hello, 1796522401);
    tooltest::SetMtime(big, 1000000000);
    tooltest::WriteListFile(dir / "list.lst", {hello, big});
    test::WriteFile(dir / "header.txt", "a Crate's header");
    const tooltest::RunResult r = tooltest::RunProgram(
        {built + "/PKZIP25.EXE", "-add=all", "-header=@" + (dir / "header.txt"), "-path=full",
         CurrentPath(name), "@" + (dir / "list.lst")});
    ASSERT_EQ(r.status, 0) << r.output;

    const CentralListing listing = read();
    EXPECT_EQ(listing.problem, "");
    ASSERT_EQ(listing.entries.size(), 2u);
    const ListedEntry& first = listing.entries[0];
    EXPECT_EQ(first.name, hello.substr(1));
    EXPECT_EQ(first.size, 5u);
    EXPECT_EQ(first.crc, 0x3610a686u);  // crc32("hello")
    EXPECT_EQ(first.modified, 1796522401);
    EXPECT_FALSE(first.folder);
    EXPECT_EQ(listing.entries[1].name, big.substr(1));
    EXPECT_EQ(listing.entries[1].size, 300000u);
    EXPECT_GE(listing.entries[1].compressedSize, 300000u);  // noise does not shrink
    EXPECT_EQ(listing.entries[1].modified, 1000000000);
}

TEST_F(CentralListingTest, ADosTimeIsLocalTimeAndAFolderEndsInASlash) {
    const tooltest::RunResult r =
        tooltest::MakeZip(CurrentPath(name),
                          "add('docs/', '', mode=0o40755, date=(2026, 7, 1, 12, 30, 10))\n"
                          "add('docs/a b.txt', 'abc', date=(2026, 12, 6, 2, 0, 0))\n");
    ASSERT_EQ(r.status, 0) << r.output;
    const CentralListing listing = read();
    EXPECT_EQ(listing.problem, "");
    ASSERT_EQ(names(listing), (std::vector<std::string>{"docs/", "docs/a b.txt"}));
    EXPECT_TRUE(listing.entries[0].folder);
    // Summer time in Berlin: UTC+2; winter: UTC+1.
    EXPECT_EQ(listing.entries[0].modified, 1782901810);  // 2026-07-01 10:30:10 UTC
    EXPECT_EQ(listing.entries[1].modified, 1796518800);  // 2026-12-06 01:00:00 UTC
    EXPECT_EQ(listing.entries[1].crc, 0x352441c2u);      // crc32("abc")
}

// The directory begins on the first volume and ends on the last.
TEST_F(CentralListingTest, FollowsTheDirectoryFromOneVolumeIntoTheNext) {
    std::string local, central;
    for (int i = 1; i <= 4; ++i) {
        const std::string entry = "file" + std::to_string(i);
        central += test::CentralEntry(entry, 1, local.size());
        local += test::LocalEntry(entry, "x");
    }
    const std::size_t cut = central.size() / 2 + 3;
    test::WriteFile(dir / "out/Docs.z01", local + central.substr(0, cut));
    test::WriteFile(CurrentPath(name),
                    central.substr(cut) + test::EndRecord(1, 0, 4, central.size(), local.size()));
    CentralListing listing = read();
    EXPECT_EQ(listing.problem, "");
    EXPECT_EQ(names(listing), (std::vector<std::string>{"file1", "file2", "file3", "file4"}));

    fs::remove(toPath(dir / "out/Docs.z01"));
    listing = read();
    EXPECT_TRUE(listing.entries.empty());
    EXPECT_EQ(listing.problem,
              "incomplete: its volume \"" + (dir / "out/Docs.z01") + "\" is missing");
}

TEST_F(CentralListingTest, DamageIsReportedWithTheEntriesReadBeforeIt) {
    // A kept version's name: the volumes follow its own stem.
    const std::string kept = dir / "out/Docs-2026-12-06_020000.zip";
    std::string bytes = test::TinyZip(3);
    test::WriteFile(kept, bytes);
    EXPECT_EQ(names(read(kept)), (std::vector<std::string>{"1", "2", "3"}));

    // The end record counts one entry more than the directory holds.
    std::string local, central;
    central += test::CentralEntry("only", 1, 0);
    local += test::LocalEntry("only", "x");
    test::WriteFile(kept, local + central + test::EndRecord(0, 0, 2, central.size(), local.size()));
    CentralListing listing = read(kept);
    EXPECT_EQ(names(listing), std::vector<std::string>{"only"});
    EXPECT_EQ(listing.problem,
              "damaged: its end record counts 2 entries, its central directory holds 1");

    // The second record's signature is overwritten.
    const std::size_t second = bytes.find("PK\x01\x02", bytes.find("PK\x01\x02") + 4);
    bytes[second + 1] = 'X';
    test::WriteFile(kept, bytes);
    listing = read(kept);
    EXPECT_EQ(names(listing), std::vector<std::string>{"1"});
    EXPECT_EQ(listing.problem, "damaged: central record 2 is not where the one before it ends");

    test::WriteFile(kept, bytes.substr(0, 30));
    listing = read(kept);
    EXPECT_TRUE(listing.entries.empty());
    EXPECT_EQ(listing.problem.rfind("damaged: ", 0), 0u) << listing.problem;

    fs::remove(toPath(kept));
    EXPECT_EQ(read(kept).problem, "incomplete: its last volume \"" + kept + "\" is missing");
}

}  // namespace
}  // namespace stowaway
