// Kept archives on a real disk: links instead of copies, clashes, foreign files,
// damaged and incomplete sets, pruning whole units.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>

#include "ZipBytes.h"
#include "engine/versions/KeptVersions.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

// A platform whose file system has no hard links, as FAT or exFAT.
class NoLinks : public NativePlatform {
  public:
    using NativePlatform::NativePlatform;
    LinkStatus makeHardLink(const std::string&, const std::string&) const override {
        return LinkStatus::Unsupported;
    }
};

class KeptVersions : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        ASSERT_TRUE(SplitArchiveName(dir / "Docs.zip", '/', name));
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }

    // A file with the modification time 2026-12-06 02:00:00 UTC (plus seconds).
    void write(const std::string& leaf, const std::string& bytes, int seconds = 0) {
        test::WriteFile(dir / leaf, bytes);
        struct utimbuf times {};
        times.actime = times.modtime = 1796522400 + seconds;
        ::utime((dir / leaf).c_str(), &times);
    }
    // The archiver's replace: a new file renamed over the archive.
    void replaceArchive(const std::string& bytes) {
        test::WriteFile(dir / "new.tmp", bytes);
        fs::rename(toPath(dir / "new.tmp"), toPath(dir / "Docs.zip"));
    }
    std::vector<std::string> leaves() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path())) out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
    struct stat info(const std::string& leaf) const {
        struct stat st {};
        ::lstat((dir / leaf).c_str(), &st);
        return st;
    }

    test::TempDir dir;
    NativePlatform platform{dir.path()};
    ArchiveName name;
    std::vector<std::string> log;
};

// The previous archive gets its dated name as a second link to the same data:
// nothing is copied, and once the archive is replaced the dated name holds it.
TEST_F(KeptVersions, ThePreviousArchiveIsLinkedNotCopied) {
    const std::string old = test::TinyZip(2);
    write("Docs.zip", old);
    const ino_t inode = info("Docs.zip").st_ino;

    const KeptLinks links = LinkPreviousArchive(platform, name, log);
    ASSERT_EQ(links.links, std::vector<std::string>{dir / "Docs-2026-12-06_020000.zip"}) << log[0];
    EXPECT_EQ(info("Docs-2026-12-06_020000.zip").st_ino, inode);
    EXPECT_EQ(info("Docs.zip").st_nlink, 2u);

    replaceArchive(test::TinyZip(3));
    SettleKeptLinks(platform, name, links, true, log);
    EXPECT_EQ(info("Docs-2026-12-06_020000.zip").st_ino, inode);
    EXPECT_EQ(info("Docs-2026-12-06_020000.zip").st_nlink, 1u);
    EXPECT_EQ(test::ReadFile(dir / "Docs-2026-12-06_020000.zip"), old);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("is kept as"), std::string::npos) << log[0];
}

// Every volume of a split set gets the same dated stem, the last volume last.
TEST_F(KeptVersions, ASplitSetIsKeptAsOneUnit) {
    const std::vector<std::string> set = test::TinySet(2);
    write("Docs.z01", set[0]);
    write("Docs.zip", set[1]);
    const KeptLinks links = LinkPreviousArchive(platform, name, log);
    ASSERT_EQ(links.links, (std::vector<std::string>{dir / "Docs-2026-12-06_020000.z01",
                                                     dir / "Docs-2026-12-06_020000.zip"}));
    EXPECT_EQ(info("Docs-2026-12-06_020000.z01").st_ino, info("Docs.z01").st_ino);
    // The new archive is a single file: the archiver drops the old volume.
    replaceArchive(test::TinyZip(1));
    fs::remove(toPath(dir / "Docs.z01"));
    SettleKeptLinks(platform, name, links, true, log);
    const std::vector<ArchiveVersion> versions = FindVersions(platform, name);
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_TRUE(versions[1].problem.empty()) << versions[1].problem;
    EXPECT_EQ(versions[1].entries, 2u);
    EXPECT_EQ(versions[1].files.size(), 2u);
}

// A failed run leaves the previous archive current: its dated name goes again. A
// run that replaced the archive and still failed keeps it (it is the only copy).
TEST_F(KeptVersions, AFailedRunTakesTheLinkBackUnlessTheArchiveWasReplaced) {
    write("Docs.zip", test::TinyZip(2));
    KeptLinks links = LinkPreviousArchive(platform, name, log);
    ASSERT_EQ(links.links.size(), 1u);
    SettleKeptLinks(platform, name, links, false, log);
    EXPECT_EQ(leaves(), std::vector<std::string>{"Docs.zip"});
    EXPECT_EQ(info("Docs.zip").st_nlink, 1u);

    links = LinkPreviousArchive(platform, name, log);
    replaceArchive(test::TinyZip(3));
    SettleKeptLinks(platform, name, links, false, log);
    EXPECT_EQ(leaves(), (std::vector<std::string>{"Docs-2026-12-06_020000.zip", "Docs.zip"}));
}

// Nothing already at a dated name is ever replaced, whoever made it; nothing is
// kept then, and the log says why.
TEST_F(KeptVersions, ANameClashKeepsNothingAndReplacesNothing) {
    const struct {
        const char* what;
        const char* taken;
        bool split;
    } cases[] = {
        {"a backup in the same second", "Docs-2026-12-06_020000.zip", false},
        {"a user's file on a volume's name", "Docs-2026-12-06_020000.z01", true},
    };
    for (const auto& c : cases) {
        for (const std::string& leaf : leaves()) fs::remove(toPath(dir / leaf));
        log.clear();
        if (c.split) {
            const std::vector<std::string> set = test::TinySet(2);
            write("Docs.z01", set[0]);
            write("Docs.zip", set[1]);
        } else {
            write("Docs.zip", test::TinyZip(2));
        }
        write(c.taken, "mine");
        const std::vector<std::string> before = leaves();
        const KeptLinks links = LinkPreviousArchive(platform, name, log);
        EXPECT_TRUE(links.links.empty()) << c.what;
        EXPECT_EQ(leaves(), before) << c.what;
        EXPECT_EQ(test::ReadFile(dir / c.taken), "mine") << c.what;
        ASSERT_EQ(log.size(), 1u) << c.what;
        EXPECT_NE(log[0].find("exists already"), std::string::npos) << log[0];
    }
}

// What cannot be kept whole is not kept at all, and never by copying.
TEST_F(KeptVersions, WhatCannotBeLinkedWholeIsNotKept) {
    const std::vector<std::string> set = test::TinySet(2);
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        bool noLinks;
        const char* says;
    } cases[] = {
        {"no hard links", {{"Docs.z01", set[0]}, {"Docs.zip", set[1]}}, true, "no hard links"},
        {"a volume missing", {{"Docs.zip", set[1]}}, false, "Docs.z01\" is missing"},
        {"not a ZIP archive", {{"Docs.zip", "garbage"}}, false, "damaged"},
        {"an interrupted replace",
         {{"Docs.zip", test::TinyZip(1)}, {".Docs.zip.pkzip-commit", "x"}},
         false,
         "interrupted"},
        {"no previous archive", {}, false, nullptr},
    };
    NoLinks noLinks{dir.path()};
    for (const auto& c : cases) {
        for (const std::string& leaf : leaves()) fs::remove(toPath(dir / leaf));
        log.clear();
        for (const auto& [leaf, bytes] : c.files) write(leaf, bytes);
        const std::vector<std::string> before = leaves();
        const KeptLinks links =
            LinkPreviousArchive(c.noLinks ? static_cast<Platform&>(noLinks) : platform, name, log);
        EXPECT_TRUE(links.links.empty()) << c.what;
        EXPECT_EQ(leaves(), before) << c.what;
        if (!c.says) {
            EXPECT_TRUE(log.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(log.size(), 1u) << c.what;
        EXPECT_NE(log[0].find(c.says), std::string::npos) << c.what << ": " << log[0];
    }
}

// The Crate's own dated archives only, each whole, damaged or incomplete, newest
// first; pruning deletes whole units beyond the policy and nothing else.
TEST_F(KeptVersions, ListingAndPruningTouchOnlyTheCratesOwnArchives) {
    const std::vector<std::string> set = test::TinySet(3);
    write("Docs.zip", test::TinyZip(5));
    write("Docs-2026-12-01_020000.zip", test::TinyZip(4));
    write("Docs-2026-12-02_020000.zip", "damaged");
    write("Docs-2026-12-03_020000.z01", set[0]);
    write("Docs-2026-12-03_020000.zip", set[1]);
    write("Docs-2026-12-04_020000.zip", set[1]);  // its volume is missing
    write("Docs-2026-12-05_020000.z01", set[0]);  // its last volume is missing
    const std::vector<std::string> foreign = {
        "Docs-old-2026-12-01_020000.zip", "Docs-old.zip", "Docs-2026-12-01_020000.zip.bak",
        "Docs-2026-02-30_020000.zip",     "notes.txt",    "docs-2026-12-01_020000.zip"};
    for (const std::string& leaf : foreign) write(leaf, test::TinyZip(1));
    fs::create_directory(toPath(dir / "Docs-2026-12-06_020000.zip"));
    fs::create_symlink(toPath(dir / "notes.txt"), toPath(dir / "Docs-2026-12-07_020000.zip"));

    const std::vector<ArchiveVersion> versions = FindVersions(platform, name);
    std::vector<std::string> listed;
    for (const ArchiveVersion& v : versions)
        listed.push_back(fromPath(toPath(v.path).filename()) + " " +
                         (v.entries ? std::to_string(*v.entries) : "-") + " " + v.problem);
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "Docs.zip 5 ",
                          "Docs-2026-12-05_020000.zip - incomplete: its last volume \"" +
                              dir.path() + "/Docs-2026-12-05_020000.zip\" is missing",
                          "Docs-2026-12-04_020000.zip 3 incomplete: its volume \"" + dir.path() +
                              "/Docs-2026-12-04_020000.z01\" is missing",
                          "Docs-2026-12-03_020000.zip 3 ",
                          "Docs-2026-12-02_020000.zip - damaged: too short to be a ZIP archive",
                          "Docs-2026-12-01_020000.zip 4 ",
                      }));
    EXPECT_EQ(versions[3].size, set[0].size() + set[1].size());

    const PrunePlan plan = PlanPrune(platform, name, KeepPolicy{true, 2, 0, 0, 0});
    const std::vector<std::string> lines = PruneLines(plan);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "2026-12-06 02:00:00  " + dir.path() +
                            "/Docs.zip  kept: the current archive, one of the last 2");
    EXPECT_NE(lines[1].find("kept: one of the last 2 (incomplete:"), std::string::npos) << lines[1];
    EXPECT_NE(lines[3].find("2026-12-03 02:00:00  " + dir.path() +
                            "/Docs-2026-12-03_020000.zip  deleted: beyond the policy"),
              std::string::npos)
        << lines[3];
    ASSERT_TRUE(ApplyPrune(platform, plan, log));
    std::vector<std::string> expected = foreign;
    expected.insert(expected.end(), {"Docs.zip", "Docs-2026-12-05_020000.z01",
                                     "Docs-2026-12-06_020000.zip", "Docs-2026-12-07_020000.zip"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(leaves(), expected);
    EXPECT_EQ(log.size(), 4u);
}

}  // namespace
}  // namespace stowaway
