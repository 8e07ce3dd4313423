// A restore whose archiver kept files newer than the archive's copy: the run
// log counts them on a line of its own, and every other line stays as it was.
#include <gtest/gtest.h>

#include "EngineRig.h"
#include "engine/OutputScan.h"
#include "engine/Runner.h"

namespace stowaway {
namespace {

using test::Lines;

class RunnerKeptNewer : public ::testing::Test {
  protected:
    void SetUp() override {
        App& a = *rig.app;
        a.job.BatchPath = rig.programFile("SWTemp.bat");
        a.job.OutputPath = rig.programFile("SWTemp.dat");
        rig.write(a.job.OutputPath, "");
        a.job.ArchiverCommand = "C:\\Apps\\PKZIP25.EXE -extract=all -dir=relative D:\\X.zip C:\\R";
        a.job.ArchiverTail = "> C:\\Backup\\SWTemp.dat";
        a.job.FilesToDo = 3;
    }
    bool run(JobKind kind) {
        return RunArchiver(rig.app->jobContext(), rig.app->job.BatchPath, rig.app->job.OutputPath,
                           kind);
    }
    std::vector<std::string> log() const { return Lines(rig.read("C:\\Backup\\Log.txt")); }
    std::string stamp() const {
        return rig.platform->shortDate(rig.platform->now()) + " " +
               rig.platform->longTime(rig.platform->now());
    }
    test::Rig rig;
};

TEST_F(RunnerKeptNewer, KeptFilesAreCountedOnALineBeforeTheEndLineAndDoNotFailTheRun) {
    rig.script->onStart = [&](const std::string&) {
        rig.emit("  Inflating: a.txt");
        rig.emit("  Kept newer: b.txt");
        rig.emit("  Kept newer: c.txt");
        rig.emit("PKZIP: cannot restore d.txt: the entry is damaged");
    };
    EXPECT_FALSE(run(JobKind::Restore));  // the damaged entry, not the kept files
    EXPECT_EQ(rig.app->job.FilesDone, 1);
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "Stowaway v2.0 - Restore",
                         "    Started on: " + stamp() + " - Number of files to Restore: 3",
                         "    Error: cannot restore d.txt: the entry is damaged",
                         "    Number of newer files Kept: 2",
                         "    Ended on: " + stamp() + " - Number of files Restored: 1",
                     }));
}

TEST_F(RunnerKeptNewer, RunsThatKeptNothingAndBackupsLogExactlyTheDescribedLines) {
    rig.script->onStart = [&](const std::string&) {
        rig.emit("  Inflating: a.txt");
        rig.emit("  Inflating: b.txt");
    };
    EXPECT_TRUE(run(JobKind::Restore));
    // A backup never counts kept files, whatever its lines say.
    rig.script->onStart = [&](const std::string&) {
        rig.emit("  Adding: kept newer: x ... done.");
        rig.emit("Kept newer: y");
    };
    EXPECT_TRUE(run(JobKind::Backup));
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "Stowaway v2.0 - Restore",
                         "    Started on: " + stamp() + " - Number of files to Restore: 3",
                         "    Ended on: " + stamp() + " - Number of files Restored: 2",
                         "Stowaway v2.0 - Standard Backup",
                         "    Started on: " + stamp() + " - Number of files to Backup: 3",
                         "    Ended on: " + stamp() + " - Number of files Backed up: 1",
                     }));

    ArchiverOutputScan scan(JobKind::Restore);
    rig.write(rig.app->job.OutputPath, "  Kept newer: a\r\n  Kept newer: b");
    scan.feed(rig.platform->native(rig.app->job.OutputPath));
    EXPECT_EQ(scan.keptNewer(), 1);
    scan.finish();  // the last line, without its line end
    EXPECT_EQ(scan.keptNewer(), 2);
    EXPECT_EQ(scan.filesDone(), 0);
    EXPECT_TRUE(scan.ok());
}

}  // namespace
}  // namespace stowaway
