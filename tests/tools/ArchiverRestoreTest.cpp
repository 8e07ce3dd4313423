// The archiver's restore: what it writes, what it refuses, and how it meets
// damaged archives.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

class ArchiverRestore : public ::testing::Test {
  protected:
    ScratchDir dir;
    std::string archive = dir / "backup.zip";
    std::string target = dir / "target";
    std::string outside = dir / "outside";

    void SetUp() override {
        fs::create_directories(toPath(target));
        fs::create_directories(toPath(outside));
    }

    // Nobody at the console: standard input is /dev/null.
    RunResult Restore(bool update) {
        return RunWith({Archiver(), update ? "-extract=update" : "-extract=all", "-dir=relative",
                        archive, target},
                       RunSetup{});
    }

    void MakeArchive(const std::string& entries) {
        const RunResult r = MakeZip(archive, entries);
        ASSERT_EQ(r.status, 0) << r.output;
    }
};

TEST_F(ArchiverRestore, RecreatesFilesFoldersTimesAndPermissionsThroughTheBatch) {
    MakeArchive(
        "add('home/u/doc.txt', 'document')\n"
        "add('home/u/script.sh', '#!/bin/sh\\n', mode=0o100750)\n"
        "add('home/u/empty folder/', '', mode=0o40700)\n"
        "add('home/u/deep/er/file.txt', 'x' * 100000, mode=0o100600)\n");
    // The restore line carries no quotes; the output is captured with "> ".
    const std::string batch = dir / "SWTemp.bat";
    const std::string output = dir / "SWTemp.dat";
    const std::string plainTarget = "/tmp/stowaway-restore-" + std::to_string(::getpid());
    fs::remove_all(toPath(plainTarget));
    const RunResult r = RunBatch(batch, "@ECHO OFF",
                                 Archiver() + " -extract=all -dir=relative " + Quoted(archive) +
                                     " " + plainTarget + "> " + Quoted(output));
    const std::string out = ReadFile(output);
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_EQ(CountLinesWith(out, "Inflating:"), 3) << out;
    EXPECT_TRUE(ProblemLines(out).empty()) << out;

    EXPECT_EQ(ReadFile(plainTarget + "/home/u/doc.txt"), "document");
    EXPECT_EQ(ReadFile(plainTarget + "/home/u/deep/er/file.txt"), std::string(100000, 'x'));
    EXPECT_EQ(fs::status(toPath(plainTarget + "/home/u/script.sh")).permissions(), fs::perms(0750));
    EXPECT_EQ(fs::status(toPath(plainTarget + "/home/u/deep/er/file.txt")).permissions(),
              fs::perms(0600));
    EXPECT_TRUE(fs::is_directory(toPath(plainTarget + "/home/u/empty folder")));
    EXPECT_EQ(fs::status(toPath(plainTarget + "/home/u/empty folder")).permissions(),
              fs::perms(0700));
    struct tm tm {};
    tm.tm_year = 120, tm.tm_mon = 0, tm.tm_mday = 2, tm.tm_hour = 3, tm.tm_min = 4, tm.tm_sec = 6;
    tm.tm_isdst = -1;
    EXPECT_EQ(Mtime(plainTarget + "/home/u/doc.txt"), mktime(&tm));
    fs::remove_all(toPath(plainTarget));
}

TEST_F(ArchiverRestore, ArchivePathWithBlanksArrivesUnquotedAndIsStillFound) {
    // The restore line passes the archive and target unquoted, so both may arrive
    // split at their blanks.
    archive = dir / "My Backups/the backup.zip";
    fs::create_directories(toPath(dir / "My Backups"));
    MakeArchive("add('a.txt', 'a')\n");
    const std::string batch = dir / "SWTemp.bat";
    const RunResult r = RunBatch(
        batch, "@ECHO ON",
        Archiver() + " -extract=all -dir=relative " + archive + " " + target + "/new folder");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(target + "/new folder/a.txt"), "a");
}

TEST_F(ArchiverRestore, HostileEntriesAreRefusedAndWriteNothingOutsideTheTarget) {
    const std::string escape = fromPath(toPath(outside).filename());
    fs::create_symlink(toPath(outside), toPath(target + "/linked"));
    std::string entries;
    for (const std::string& name : std::vector<std::string>{
             "/tmp/absolute-evil.txt", "../" + escape + "/dotdot.txt",
             "ok/../../" + escape + "/inner-dotdot.txt", "C:/drive.txt",
             "..\\\\" + escape + "\\\\backslash.txt", "linked/through-link.txt"})
        entries += "add('" + name + "', 'evil')\n";
    MakeArchive(entries + "add('link-entry', '" + outside +
                "', mode=0o120777)\nadd('fifo-entry', '', mode=0o010644)\n"
                "add('fine/inner/../good.txt', 'good')\n");
    const RunResult r = Restore(false);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(ProblemLines(r.output).size(), 8u) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 1) << r.output;
    EXPECT_EQ(ReadFile(target + "/fine/good.txt"), "good");
    EXPECT_EQ(CountFiles(outside), 0u);
    EXPECT_FALSE(fs::exists(toPath("/tmp/absolute-evil.txt")));
    EXPECT_FALSE(fs::exists(toPath(target + "/link-entry")));
    EXPECT_FALSE(fs::exists(toPath(target + "/fifo-entry")));
    // Only the good file is in the target (the walk does not enter the link).
    EXPECT_EQ(CountFiles(target), 1u);
}

// The directory is read a batch at a time: a name that comes back after some
// thousand entries is still restored once, from its last entry.
TEST_F(ArchiverRestore, ANameInTheArchiveTwiceIsRestoredOnceFromItsLastEntry) {
    MakeArchive(
        "add('d/twice.txt', 'first')\n"
        "add('d/once.txt', 'once')\n"
        "for i in range(6000):\n"
        "    add('filler/' + 'f' * 200 + '%05d' % i, '')\n"
        "add('d/twice.txt', 'second')\n"
        "add('d/./twice.txt', 'third')\n");
    const RunResult r = Restore(false);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(ReadFile(target + "/d/twice.txt"), "third");
    EXPECT_EQ(ReadFile(target + "/d/once.txt"), "once");
    EXPECT_EQ(CountFiles(target + "/filler"), 6000u);
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 6002) << r.output.substr(0, 2000);
    const std::vector<std::string> problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output.substr(0, 2000);
    EXPECT_NE(
        problems[0].find("the name d/twice.txt is in the archive more than once; the last entry is "
                         "restored"),
        std::string::npos)
        << problems[0];
}

TEST_F(ArchiverRestore, BrokenArchivesGiveAProblemLineOnRestoreAndListing) {
    MakeArchive("add('a.txt', 'x' * 5000)\nadd('b.txt', 'y' * 5000)\n");
    const std::string whole = ReadFile(archive);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing", ""},
        {"empty", ""},
        {"garbage", "this is no archive at all, not even close"},
        {"truncated", whole.substr(0, whole.size() / 2)},
        {"no end record", whole.substr(0, whole.size() - 10)},
    };
    for (const auto& [what, bytes] : cases) {
        if (what == "missing") {
            fs::remove(toPath(archive));
        } else {
            WriteFile(archive, bytes);
        }
        for (const std::vector<std::string>& argv :
             {std::vector<std::string>{Archiver(), "-extract=all", "-dir=relative", archive,
                                       target},
              std::vector<std::string>{Archiver(), "-view=brief", archive}}) {
            const RunResult r = RunProgram(argv);
            EXPECT_GT(r.status, 0) << what;
            EXPECT_LT(r.status, 128) << what << " (crashed)";
            EXPECT_FALSE(ProblemLines(r.output).empty()) << what << ": " << r.output;
        }
    }
    EXPECT_EQ(CountFiles(target), 0u);
}

}  // namespace
