// A restore that is killed part-way: no file under its real name is ever
// short, and the next restore finds and removes what the dead run left.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "ToolTestSupport.h"
#include "WorkOwner.h"

namespace {

using namespace tooltest;

class ArchiverRestoreWorkFile : public RestoreFixture {
  protected:
    std::string big;

    void SetUp() override {
        RestoreFixture::SetUp();
        if (IsSkipped()) return;
        // 6 MiB, dated 2020.
        const RunResult r = Python(
            "import sys, zipfile\n"
            "data = (bytes(range(251)) * 30000)[:6 << 20]\n"
            "open(sys.argv[2], 'wb').write(data)\n"
            "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
            "z.writestr(zipfile.ZipInfo('small.txt', (2020, 1, 2, 3, 4, 6)), 'small')\n"
            "i = zipfile.ZipInfo('sub/big.bin', (2020, 1, 2, 3, 4, 6))\n"
            "i.compress_type = zipfile.ZIP_DEFLATED\n"
            "z.writestr(i, data)\nz.close()\n",
            {archive, dir / "big.expected"});
        ASSERT_EQ(r.status, 0) << r.output;
        big = ReadFile(dir / "big.expected");
    }

    RunResult RestoreWith(bool update, std::vector<std::string> env = {}) {
        RunSetup setup;
        setup.env = std::move(env);
        return RunWith({Archiver(), update ? "-extract=update" : "-extract=all", "-dir=relative",
                        archive, target},
                       setup);
    }

    std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(toPath(folder)))
            names.push_back(fromPath(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(ArchiverRestoreWorkFile, KillDuringTheFirstWriteLeavesNoShortFileAndUpdateRestoresIt) {
    // The seam writes the first 64 KiB of the large file and then dies by SIGKILL.
    RunResult r = RestoreWith(false, {"PKZIP_TEST_KILL_AFTER_BYTES=65536"});
    ASSERT_EQ(r.status, kKilledStatus) << r.output;
    std::vector<std::string> left = Names(target + "/sub");
    // Nothing under the real name, only a hidden work file that says whose it was.
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(fs::exists(toPath(target + "/sub/big.bin")));
    const std::string prefix = ".big.bin.pkzip-" + pkzip::ThisHost() + "-";
    EXPECT_EQ(left[0].substr(0, prefix.size()), prefix) << left[0];
    EXPECT_EQ(fs::file_size(toPath(target + "/sub/" + left[0])), 65536u);

    r = RestoreWith(true);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;
    EXPECT_TRUE(ReadFile(target + "/sub/big.bin") == big);
    EXPECT_EQ(Mtime(target + "/sub/big.bin"), MadeAt());
    // The dead run's work file is gone.
    EXPECT_EQ(Names(target + "/sub"), (std::vector<std::string>{"big.bin"}));
}

TEST_F(ArchiverRestoreWorkFile, FilesGetTheirWholeModeWhateverTheUmaskAndReplaceReadOnlyCopies) {
    STOWAWAY_NEEDS(PeerTools);
    STOWAWAY_NEEDS(OtherUsers);
#ifndef _WIN32
    Make(
        "add('open.sh', 'open.sh', mode=0o100777)\n"
        "add('locked.txt', 'locked.txt', mode=0o100444)\n");
    fs::remove_all(target);
    for (int run = 0; run < 2; ++run) {  // the second replaces the read-only copy
        if (run == 1) SetMtime(target + "/locked.txt", 1000000000);
        const RunResult r = RunLimited(
            {Archiver(), "-extract=all", "-dir=relative", archive, target}, [] { ::umask(077); });
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(fs::status(toPath(target + "/open.sh")).permissions(), fs::perms(0777)) << run;
        EXPECT_EQ(fs::status(toPath(target + "/locked.txt")).permissions(), fs::perms(0444)) << run;
        EXPECT_EQ(ReadFile(target + "/locked.txt"), "locked.txt");
        EXPECT_EQ(Names(target), (std::vector<std::string>{"locked.txt", "open.sh"}));
    }
#endif
}

TEST_F(ArchiverRestoreWorkFile, OnlyWorkFilesOfDeadRunsOnThisHostAreRemoved) {
    const std::string host = pkzip::ThisHost();
    const std::string dead = ".big.bin.pkzip-" + host + "-" + std::to_string(DeadPid()) + "-17";
    // This test's own process is alive: its work file may still be written.
    const std::string live = ".big.bin.pkzip-" + host + "-" + std::to_string(::getpid()) + "-18";
    // Another host's process cannot be checked from here.
    const std::string foreign =
        ".big.bin.pkzip-elsewhere_host-" + std::to_string(DeadPid()) + "-19";
    // The older form without host and process (left by earlier versions).
    const std::string older = ".small.txt.pkzip-123456";
    // Names that only look alike, or belong to no file of the archive.
    const std::string stranger =
        ".other.bin.pkzip-" + host + "-" + std::to_string(DeadPid()) + "-20";
    const std::string user = ".big.bin.pkzip-notes";
    for (const std::string& n : {dead, live, foreign, stranger, user})
        WriteFile(target + "/sub/" + n, "partial");
    WriteFile(target + "/" + older, "partial");

    const RunResult r = RestoreWith(false);
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> want = {live, foreign, user, stranger, "big.bin"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Names(target + "/sub"), want);
    EXPECT_EQ(Names(target), (std::vector<std::string>{"small.txt", "sub"}));
}

}  // namespace
