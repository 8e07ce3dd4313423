#include "engine/Runner.h"

#include <gtest/gtest.h>

#include "EngineRig.h"
#include "engine/OutputScan.h"
#include "support/SystemSupport.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

using test::Lines;

class Runner : public ::testing::Test {
  protected:
    void SetUp() override {
        App& a = *rig.app;
        a.job.BatchPath = rig.programFile("SWTemp.bat");
        a.job.OutputPath = rig.programFile("SWTemp.dat");
        rig.write(a.job.OutputPath, "");
        a.job.ArchiverCommand = "  \"C:\\Apps\\PKZIP25.EXE\" -default -nofix \"D:\\B\\X.zip\" ";
        a.job.ArchiverTail = " @\"C:\\Backup\\SWTemp.lst\" > \"C:\\Backup\\SWTemp.dat\"  ";
    }
    bool run(JobKind kind = JobKind::Backup) {
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

TEST_F(Runner, WritesTheBatchInLowerCaseStartsItHiddenAndLogsTheRun) {
    App& a = *rig.app;
    a.job.FilesToDo = 3;
    rig.script->pollsUntilExit = 2;
    rig.script->onPoll = [&](int poll) {
        if (poll == 0) rig.emit("  Adding: c:\\data\\a.txt ... done.");
        if (poll == 1) rig.emit("  Adding: c:\\data\\b.txt ... done.");
    };
    EXPECT_TRUE(run());
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.bat"),
              "@ECHO OFF\r\n\"c:\\apps\\pkzip25.exe\" -default -nofix \"d:\\b\\x.zip\" "
              "@\"c:\\backup\\swtemp.lst\" > \"c:\\backup\\swtemp.dat\"\r\n");
    EXPECT_EQ(rig.script->started,
              (std::vector<std::string>{"COMMAND.COM /c \"C:\\Backup\\SWTemp.bat\""}));
    EXPECT_EQ(rig.script->styles, (std::vector<WindowStyle>{WindowStyle::Hidden}));
    EXPECT_EQ(rig.script->handlesOpen, 0);
    EXPECT_EQ(a.job.FilesDone, 2);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Working...");
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "Stowaway v2.0 - Standard Backup",
                         "    Started on: " + stamp() + " - Number of files to Backup: 3",
                         "    Ended on: " + stamp() + " - Number of files Backed up: 2",
                     }));
    // The progress bar moved during the wait (1 of 3 done: 0 %, 2 of 3: 33 %).
    EXPECT_EQ(a.FrmMain.PrBMain.value(), 33);
}

TEST_F(Runner, WaitsWithoutSpinningAndReadsOnlyWhatWasAdded) {
    App& a = *rig.app;
    a.job.FilesToDo = 4;
    rig.script->pollsUntilExit = 50;
    std::vector<double> seen;
    rig.script->onPoll = [&](int poll) {
        seen.push_back(a.FrmMain.PrBMain.value());
        // Lines arrive in pieces: half a line first, its end later.
        if (poll == 3) {
            std::string now = rig.read("C:\\Backup\\SWTemp.dat");
            rig.write("C:\\Backup\\SWTemp.dat", now + "one ... do");
        }
        if (poll == 5) {
            std::string now = rig.read("C:\\Backup\\SWTemp.dat");
            rig.write("C:\\Backup\\SWTemp.dat",
                      now + "ne.\r\ntwo ... done.\r\nthree ... done.\r\n");
        }
    };
    EXPECT_TRUE(run());
    EXPECT_EQ(rig.script->polls, 51);
    EXPECT_EQ(rig.script->sleeps, 50);  // a pause after every poll of a running process
    EXPECT_GE(rig.ui.eventPasses, 51);
    EXPECT_EQ(a.job.FilesDone, 3);
    // "one ... do" is not a line yet; after poll 5 three are done: (3 - 1) / 4 = 50 %.
    EXPECT_EQ(seen[5], 0);
    EXPECT_EQ(seen[6], 50);
}

TEST_F(Runner, ErrorLinesFailTheRunAndAreLoggedWithoutTheirMarker) {
    App& a = *rig.app;
    rig.script->onStart = [&](const std::string&) {
        rig.emit("PKZIP: (W) Warning! file not found: c:\\x.txt");
        rig.emit("pkzip: lower case marker");
        rig.emit("PKZIP:");
        rig.emit("a.txt DONE.");  // not a stored file
    };
    EXPECT_FALSE(run());
    std::vector<std::string> l = log();
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[2], "    Error: (W) Warning! file not found: c:\\x.txt");
    EXPECT_EQ(l[3], "    Error: lower case marker");
    EXPECT_EQ(l[4], "    Error: ");
    EXPECT_NE(l[5].find("Number of files Backed up: 0"), std::string::npos);
    EXPECT_EQ(a.job.FilesDone, 0);
}

TEST_F(Runner, WhereASetsLastVolumeWentIsLogged) {
    rig.script->onStart = [&](const std::string&) {
        rig.emit("a.txt  Adding (0%), done.");
        rig.emit(
            "The last volume of the set went to /media/two: give that folder's big.zip to "
            "restore the set");
    };
    EXPECT_TRUE(run());
    std::vector<std::string> l = log();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[2],
              "    The last volume of the set went to /media/two: give that folder's big.zip to "
              "restore the set");
}

TEST_F(Runner, RestoreCountsInflatedFilesAndAutomatedRunsSayWhatTheyAre) {
    App& a = *rig.app;
    a.job.FilesToDo = 2;
    rig.script->onStart = [&](const std::string&) {
        rig.emit("Inflating: a.txt");
        rig.emit("inflating: b.txt");  // letter case counts
        rig.emit("Inflating: c.txt");
    };
    EXPECT_TRUE(run(JobKind::Restore));
    EXPECT_EQ(a.job.FilesDone, 2);
    EXPECT_EQ(log()[0], "Stowaway v2.0 - Restore");
    EXPECT_NE(log()[1].find(" - Number of files to Restore: 2"), std::string::npos);
    EXPECT_NE(log()[2].find(" - Number of files Restored: 2"), std::string::npos);
    EXPECT_EQ(a.FrmMain.PrBMain.value(), 50);  // (2 - 1) / 2

    a.AbuMode = true;
    a.FrmMain.StBMain.setPanelText("");
    a.FrmMain.ChkHideOutput.setValue(CheckBox::Unchecked);  // not the automated mode's
    rig.write("C:\\Backup\\Log.txt", "");
    EXPECT_TRUE(run(JobKind::Backup));
    EXPECT_EQ(log()[0], "Stowaway v2.0 - Automated Backup");
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.bat").substr(0, 11), "@ECHO OFF\r\n");
    EXPECT_EQ(a.FrmABU.StBMain.panelText(), "Working...");
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "");
    a.job.FilesToDo = 0;
    EXPECT_TRUE(run(JobKind::Restore));
    EXPECT_EQ(Lines(rig.read("C:\\Backup\\Log.txt"))[3], "Stowaway v2.0 - Restore");
}

TEST_F(Runner, AnArchiverThatFailsWithoutAnErrorLineFailsTheRun) {
    rig.script->exitStatus = 139;  // crashed before it could say anything
    EXPECT_FALSE(run());
    EXPECT_EQ(log()[2], "    Error: The archiver ended with status 139 without reporting why.");
    rig.script->exitStatus = 1;  // its own error lines already say why: no second line
    rig.script->onStart = [&](const std::string&) { rig.emit("PKZIP: cannot open x"); };
    EXPECT_FALSE(run());
    EXPECT_EQ(log()[6], "    Error: cannot open x");
    EXPECT_EQ(log().size(), 8u);
}

// "done." is printed as each file goes into the new archive, before that archive
// is checked and put in place; a run that then failed kept the old archive.
TEST_F(Runner, OnlyFilesOfANewArchiveThatReplacedTheOldOneCountAsBackedUp) {
    App& a = *rig.app;
    a.job.FilesToDo = 7;
    rig.script->onStart = [&](const std::string&) {
        for (int i = 0; i < 7; ++i) rig.emit("  Adding: f" + std::to_string(i) + " ... done.");
        rig.emit(
            "PKZIP: cannot write the new archive beside d:\\b\\x.zip: No space left on "
            "device; the old archive was left unchanged");
    };
    rig.script->exitStatus = 2;
    EXPECT_FALSE(run());
    EXPECT_EQ(a.job.FilesDone, 0);
    EXPECT_NE(log().back().find(" - Number of files Backed up: 0"), std::string::npos);

    // A warning (a file that could not be read) still leaves the new archive in place.
    rig.write("C:\\Backup\\Log.txt", "");
    rig.write(a.job.OutputPath, "");
    rig.script->exitStatus = ArchiverWarningStatus;
    EXPECT_FALSE(run());
    EXPECT_EQ(a.job.FilesDone, 7);
    EXPECT_NE(log().back().find(" - Number of files Backed up: 7"), std::string::npos);

    // Killed before the new archive was in place.
    rig.write("C:\\Backup\\Log.txt", "");
    rig.write(a.job.OutputPath, "");
    rig.script->onStart = [&](const std::string&) { rig.emit("  Adding: a ... done."); };
    rig.script->exitStatus = 128 + 9;
    EXPECT_FALSE(run());
    EXPECT_EQ(a.job.FilesDone, 0);

    // A restore counts what it extracted whatever its status.
    rig.write(a.job.OutputPath, "");
    rig.script->onStart = [&](const std::string&) { rig.emit("Inflating: a.txt"); };
    rig.script->exitStatus = 2;
    EXPECT_FALSE(run(JobKind::Restore));
    EXPECT_EQ(a.job.FilesDone, 1);
}

TEST_F(Runner, AVisibleRunEchoesItsLineAndShowsItsConsole) {
    App& a = *rig.app;
    a.FrmMain.ChkHideOutput.setValue(CheckBox::Unchecked);
    rig.script->console = "c:\\backup> pkzip25 ...\n";
    EXPECT_TRUE(run());
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.bat").substr(0, 10), "@ECHO ON\r\n");
    EXPECT_EQ(rig.script->styles, (std::vector<WindowStyle>{WindowStyle::NormalFocus}));
    EXPECT_EQ(a.FrmMain.TxtDebug.text(), "COMMAND.COM /c \"C:\\Backup\\SWTemp.bat\"");
    EXPECT_EQ(rig.ui.consoleCommands, (std::vector<std::string>{a.FrmMain.TxtDebug.text()}));
    EXPECT_EQ(rig.ui.console, "c:\\backup> pkzip25 ...\n");
    // The console is named after the job and its Crate, not the raw command.
    rig.crate("Documents");
    EXPECT_TRUE(run(JobKind::Restore));
    EXPECT_EQ(rig.ui.consoleTitles,
              (std::vector<std::string>{"Backup - Stowaway", "Restore of Documents - Stowaway"}));

    a.FrmMain.ChkHideOutput.setValue(CheckBox::Grayed);
    EXPECT_TRUE(run());
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.bat").substr(0, 1), "\"");  // no echo line
}

TEST_F(Runner, AGivenLineReplacesTheJobsAndPosixKeepsItsCase) {
    std::string edited = "\"C:\\Apps\\PKZIP25.EXE\" -default \"D:\\Y.zip\"";
    RunArchiver(rig.app->jobContext(), rig.app->job.BatchPath, rig.app->job.OutputPath,
                JobKind::Backup, &edited);
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.bat"),
              "@ECHO OFF\r\n\"c:\\apps\\pkzip25.exe\" -default \"d:\\y.zip\"\r\n");

    if (!test::Has(test::Facility::PosixPaths)) return;
    test::Rig posix(false);
    App& a = *posix.app;
    a.job.ArchiverCommand = "\"/opt/Stow/PKZIP25.EXE\" -default \"/home/Ann/Backup.zip\"";
    a.job.ArchiverTail = "@\"/opt/Stow/SWTemp.lst\"";
    EXPECT_EQ(ArchiverLine(a.jobContext()),
              "\"/opt/Stow/PKZIP25.EXE\" -default \"/home/Ann/Backup.zip\" "
              "@\"/opt/Stow/SWTemp.lst\"");
}

TEST_F(Runner, StartFailuresAndAnUnwritableLogAreReported) {
    App& a = *rig.app;
    rig.script->failStart = true;
    a.store.LogPath = "C:\\No\\Such\\Folder\\Log.txt";
    EXPECT_FALSE(run());
    EXPECT_FALSE(run());
    // Told once, although every run tried to log.
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_NE(rig.ui.messages[0].text.find("C:\\No\\Such\\Folder\\Log.txt"), std::string::npos);

    a.store.LogPath = "C:\\Backup\\Log.txt";
    EXPECT_FALSE(run());
    EXPECT_EQ(log()[2],
              "    Error: The command interpreter could not be started: COMMAND.COM /c "
              "\"C:\\Backup\\SWTemp.bat\"");
}

TEST_F(Runner, ScanOnItsOwnCountsLogsErrorsAndMovesTheBar) {
    App& a = *rig.app;
    rig.write("C:\\Backup\\SWTemp.dat", "a done.\nb done.\nPKZIP: (E) disk full\nc done.");
    a.job.FilesToDo = 4;
    EXPECT_FALSE(ScanArchiverOutput(a.jobContext(), "C:\\Backup\\SWTemp.dat", JobKind::Backup));
    EXPECT_EQ(a.job.FilesDone, 3);
    EXPECT_EQ(a.FrmMain.PrBMain.value(), 50);
    EXPECT_EQ(log(), (std::vector<std::string>{"    Error: (E) disk full"}));
}

TEST(Progress, RoundsHalvesToEvenNeverMovesBackAndStopsAtAHundred) {
    test::Rig rig;
    App& a = *rig.app;
    ProgressBar& bar = a.FrmMain.PrBMain;
    MoveJobProgress(a.jobContext(), 5, 0);  // nothing to do: stays
    EXPECT_EQ(bar.value(), 0);
    MoveJobProgress(a.jobContext(), 1, 4);  // (1 - 1) / 4
    EXPECT_EQ(bar.value(), 0);
    MoveJobProgress(a.jobContext(), 2, 8);  // 12.5 -> 12
    EXPECT_EQ(bar.value(), 12);
    MoveJobProgress(a.jobContext(), 4, 8);  // 37.5 -> 38
    EXPECT_EQ(bar.value(), 38);
    MoveJobProgress(a.jobContext(), 3, 8);  // 25: never backwards
    EXPECT_EQ(bar.value(), 38);
    MoveJobProgress(a.jobContext(), 3, 4);
    EXPECT_EQ(bar.value(), 50);
    MoveJobProgress(a.jobContext(), 9, 4);  // 200 -> 100
    EXPECT_EQ(bar.value(), 100);
    bar.setValue(10);
    MoveJobProgress(a.jobContext(), 0, 4);  // negative: left alone
    EXPECT_EQ(bar.value(), 10);
}

class Viewer : public ::testing::Test {
  protected:
    test::Rig rig;
};

TEST_F(Viewer, OpensTheLogOrTheLastOutputAndSaysSoWhenItCannot) {
    App& a = *rig.app;
    a.store.LogViewer = "C:\\WINDOWS\\Notepad.exe";
    ViewLog(a);
    ViewArchiverOutput(a);
    EXPECT_EQ(rig.script->started,
              (std::vector<std::string>{"C:\\WINDOWS\\Notepad.exe C:\\Backup\\Log.txt",
                                        "C:\\WINDOWS\\Notepad.exe C:\\Backup\\SWTemp.dat"}));
    EXPECT_EQ(rig.script->polls, 0);  // not waited for
    EXPECT_TRUE(rig.ui.messages.empty());
    rig.script->failStart = true;
    ViewLog(a);
    ViewArchiverOutput(a);
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[0].text,
              "Log File Viewer is invalid. You must manually open the log file if you wish to "
              "view it.");
    EXPECT_TRUE(
        test::Shows(rig.ui.messages[1], {.text = "Text Viewer is invalid. You must manually open "
                                                 "the PKZIP log file if you wish to view it.",
                                         .title = "Error",
                                         .icon = MsgIcon::Information}));
}

// A restore that kept files newer than the archive's copy counts them on a line of
// its own; every other line stays as it was.
TEST_F(Runner, KeptFilesAreCountedOnALineBeforeTheEndLineAndDoNotFailTheRun) {
    rig.app->job.FilesToDo = 3;
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

TEST_F(Runner, RunsThatKeptNothingAndBackupsLogExactlyTheDescribedLines) {
    rig.app->job.FilesToDo = 3;
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
