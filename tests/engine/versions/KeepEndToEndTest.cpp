// Kept versions with the real archiver and interpreter: backups of a Crate whose
// earlier archives are kept, then the headless commands on them.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "engine/versions/KeptCrateRig.h"
#include "platform/NativePlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "startup/VersionCommands.h"
#include "support/TestPlatforms.h"
#include "tools/ToolTestSupport.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t December6 = 1796522400;  // 2026-12-06 02:00:00 UTC
constexpr std::time_t Day = 86400;

class KeepEndToEnd : public test::KeptCrateRig {
  protected:
    void SetUp() override {
        KeptCrateRig::SetUp();
        if (IsSkipped()) return;
        test::WriteFile(data + "/Letters/Dear Ann.txt", "Dear Ann,\nall well.\n");
        test::WriteFile(data + "/Letters/old/1999.txt", std::string(5000, 'x'));
    }

    int automated(rlim_t fileLimit = RLIM_INFINITY) {
        struct rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved;
        limit.rlim_cur = fileLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        App& a = fresh();
        a.AbuCrateName = "docs";
        const int status = RunAutomatedBackup(a);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, oldHandler);
        return status;
    }
    // The archive (each volume) as written at `when`, as a run of that day left it.
    void dateArchive(std::time_t when) {
        for (const char* leaf : {"Docs.zip", "Docs.z01", "Docs.z02", "Docs.z03"}) {
            if (!fs::exists(toPath(out_(leaf)))) continue;
            struct utimbuf times {};
            times.actime = times.modtime = when;
            ::utime(out_(leaf).c_str(), &times);
        }
    }
    int command(const std::string& arguments) {
        out.str("");
        err.str("");
        return RunVersionsCommand(fresh(), arguments, out, err);
    }
    std::string log() const { return test::ReadFile(program + "/Log.txt"); }
    std::string output() const { return test::ReadFile(program + "/SWTemp.dat"); }
    std::string out_(const std::string& leaf) const { return dir / ("out/" + leaf); }
    ino_t inode(const std::string& path) const {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st.st_ino;
    }
    nlink_t links(const std::string& path) const {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st.st_nlink;
    }

    std::ostringstream out, err;
};

// A full backup and an update-only one each keep the archive before them under its
// date: the same data (no copy), a whole ZIP that other tools test and that imports
// back as the Crate.
TEST_F(KeepEndToEnd, EachBackupKeepsThePreviousArchiveWhole) {
    ASSERT_EQ(automated(), 0) << output();
    EXPECT_EQ(fs::directory_iterator(toPath(dir / "out"))->path().filename(), "Docs.zip");
    dateArchive(December6);
    const ino_t first = inode(archive);
    test::WriteFile(data + "/Letters/Dear Ann.txt", "Dear Ann,\nall changed.\n");
    ASSERT_EQ(automated(), 0) << output();

    const std::string kept = out_("Docs-2026-12-06_020000.zip");
    ASSERT_TRUE(fs::exists(toPath(kept))) << log();
    EXPECT_EQ(inode(kept), first);
    EXPECT_EQ(links(kept), 1u);
    EXPECT_NE(inode(archive), first);
    EXPECT_NE(log().find("    Versions: The previous archive is kept as \"" + kept + "\"."),
              std::string::npos)
        << log();

    writeDataFile(1);
    dateArchive(December6 + Day);
    const ino_t second = inode(archive);
    test::WriteFile(data + "/new.txt", "new");
    ASSERT_EQ(automated(), 0) << output();
    const std::string keptUpdate = out_("Docs-2026-12-07_020000.zip");
    ASSERT_TRUE(fs::exists(toPath(keptUpdate))) << log();
    EXPECT_EQ(inode(keptUpdate), second);

    for (const std::string& path : {kept, keptUpdate}) {
        const tooltest::RunResult seven = tooltest::SevenZip(path, {"t"});
        EXPECT_EQ(seven.status, 0) << seven.output;
        const tooltest::RunResult unzip = tooltest::RunProgram({"/usr/bin/unzip", "-t", path});
        EXPECT_EQ(unzip.status, 0) << unzip.output;
        App& b = fresh();
        fs::remove(toPath(program + "/Stowaway.dat"));
        LoadDataFile(b);
        ImportCrate(b, path);
        EXPECT_EQ(b.FrmMain.StBMain.panelText(), "Added Crate Data Successfully") << path;
        ASSERT_EQ(b.store.CrateMax, 0);
        EXPECT_EQ(b.store.CrateTable[0].Name, "Docs");
        writeDataFile(1);
    }
}

// A split set is kept as one unit; 7-Zip tests the kept set through its last volume.
TEST_F(KeepEndToEnd, ASplitSetIsKeptWithEveryVolume) {
    test::WriteFile(data + "/scan.bin", tooltest::Noise(300000, 3));
    writeDataFile(0, 1);
    ASSERT_EQ(automated(100000), 0) << output();
    ASSERT_TRUE(fs::exists(toPath(out_("Docs.z02")))) << output();
    dateArchive(December6);
    const ino_t firstVolume = inode(out_("Docs.z01"));
    ASSERT_EQ(automated(100000), 0) << output();

    EXPECT_EQ(inode(out_("Docs-2026-12-06_020000.z01")), firstVolume);
    for (const char* leaf : {"Docs-2026-12-06_020000.z02", "Docs-2026-12-06_020000.zip"})
        EXPECT_TRUE(fs::exists(toPath(out_(leaf)))) << leaf;
    const tooltest::RunResult seven = tooltest::SevenZip(out_("Docs-2026-12-06_020000.zip"), {"t"});
    EXPECT_EQ(seven.status, 0) << seven.output;
}

// A failed run keeps nothing more: the old archive is still the current one.
// Retention runs after good runs only, and leaves the newest ones.
TEST_F(KeepEndToEnd, AFailedRunKeepsNothingAndRetentionFollowsGoodRuns) {
    test::WriteFile(program + "/Stowaway.ini", "[crate \"Docs\"]\nkeep = 2\n");
    ASSERT_EQ(automated(), 0) << output();
    for (int day = 0; day < 3; ++day) {
        dateArchive(December6 + day * Day);
        ASSERT_EQ(automated(), 0) << output();
    }
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-2026-12-08_020000.zip"))));
    EXPECT_FALSE(fs::exists(toPath(out_("Docs-2026-12-07_020000.zip"))));
    EXPECT_FALSE(fs::exists(toPath(out_("Docs-2026-12-06_020000.zip"))));
    EXPECT_NE(log().find("Deleted the kept archive"), std::string::npos) << log();

    // An old one the policy would delete: a failed run leaves it.
    fs::copy_file(toPath(out_("Docs-2026-12-08_020000.zip")),
                  toPath(out_("Docs-2026-11-01_020000.zip")));
    dateArchive(December6 + 3 * Day);
    const std::string before = test::ReadFile(archive);
    test::WriteFile(data + "/scan.bin", tooltest::Noise(300000, 5));
    EXPECT_EQ(automated(100000), 1);
    EXPECT_EQ(test::ReadFile(archive), before);
    EXPECT_EQ(links(archive), 1u);
    EXPECT_FALSE(fs::exists(toPath(out_("Docs-2026-12-09_020000.zip"))));
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-2026-12-08_020000.zip"))));
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-2026-11-01_020000.zip"))));

    fs::remove(toPath(data + "/scan.bin"));
    ASSERT_EQ(automated(), 0) << output();
    EXPECT_FALSE(fs::exists(toPath(out_("Docs-2026-11-01_020000.zip"))));
    EXPECT_FALSE(fs::exists(toPath(out_("Docs-2026-12-08_020000.zip"))));
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-2026-12-09_020000.zip"))));
}

// --keep writes the policy, --versions lists every archive (a damaged one as such,
// the others still), --prune previews and deletes.
TEST_F(KeepEndToEnd, TheHeadlessCommands) {
    ASSERT_EQ(command("--keep DOCS 3,1,0,0"), VersionsDone) << err.str();
    EXPECT_EQ(test::ReadFile(program + "/Stowaway.ini"), "[crate \"docs\"]\nkeep = 3,1,0,0\n");
    EXPECT_EQ(command("--keep Docs 0"), VersionsUsage);
    EXPECT_EQ(command("--keep Nobody 3"), VersionsFailed);
    EXPECT_NE(err.str().find("no Crate named \"Nobody\""), std::string::npos) << err.str();

    ASSERT_EQ(automated(), 0) << output();
    for (int day = 0; day < 2; ++day) {
        dateArchive(December6 + day * Day);
        ASSERT_EQ(automated(), 0) << output();
    }
    test::WriteFile(out_("Docs-2026-12-01_020000.zip"), "broken");
    test::WriteFile(out_("Docs-old-2026-12-01_020000.zip"), "someone else's");

    ASSERT_EQ(command("--versions docs"), VersionsDamaged) << err.str();
    std::vector<std::string> lines;
    std::istringstream listing(out.str());
    for (std::string line; std::getline(listing, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << out.str();
    EXPECT_NE(lines[0].find("  " + archive + "  "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" 2 files  (current)"), std::string::npos) << lines[0];
    EXPECT_EQ(
        lines[1].substr(0, 21 + out_("").size()),
        "2026-12-07 02:00:00  " + out_("Docs-2026-12-07_020000.zip").substr(0, out_("").size()));
    EXPECT_NE(lines[2].find("Docs-2026-12-06_020000.zip  "), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("6 bytes  damaged: too short"), std::string::npos) << lines[3];

    ASSERT_EQ(command("--prune Docs --dry-run"), VersionsDone) << err.str();
    const std::string preview = out.str();
    EXPECT_NE(preview.find("Docs-2026-12-01_020000.zip  deleted: beyond the policy"),
              std::string::npos)
        << preview;
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-2026-12-01_020000.zip"))));
    ASSERT_EQ(command("--prune Docs"), VersionsDone) << err.str();
    EXPECT_EQ(out.str().substr(0, preview.size()), preview);
    EXPECT_FALSE(fs::exists(toPath(out_("Docs-2026-12-01_020000.zip"))));
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-2026-12-06_020000.zip"))));
    EXPECT_TRUE(fs::exists(toPath(out_("Docs-old-2026-12-01_020000.zip"))));

    ASSERT_EQ(command("--keep docs off"), VersionsDone);
    EXPECT_EQ(test::ReadFile(program + "/Stowaway.ini"), "");
}

}  // namespace
}  // namespace stowaway
