#include "engine/RestoreJob.h"

#include <gtest/gtest.h>

#include "EngineRig.h"
#include "engine/JobGuard.h"
#include "platform/Text.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

using test::Lines;

class RestoreJob : public ::testing::Test {
  protected:
    RestoreJob() : rig(true, "C:\\Apps\\Backup") {
        CrateRecord& c = rig.crate("Documents");
        c.BackupLocation = "D:\\Backups\\SWBackup.zip";
        c.FolderMax = 1;
        CrateRecord::SetEntry(c.Folders, 0, "R- C:\\Data\\*.*");
        c.FileMax = 1;
        CrateRecord::SetEntry(c.Files, 0, "C:\\AUTOEXEC.BAT");
        rig.write("C:\\Data\\a.txt", "x");
        rig.write("C:\\Data\\b.txt", "x");
        rig.show();
        rig.app->FrmMain.TxtRestoreLocation.setText("  C:\\Restore ");
    }
    test::Rig rig;
};

TEST_F(RestoreJob, TheWorkedExampleRunsTextForText) {
    App& a = *rig.app;
    rig.script->onStart = [&](const std::string&) {
        rig.emit("Inflating: c:\\restore\\data\\a.txt");
        rig.emit("Inflating: c:\\restore\\data\\b.txt");
    };
    RestoreCrate(a);
    const std::string expected =
        "C:\\Apps\\Backup\\PKZIP25.EXE -extract=update -dir=relative D:\\Backups\\SWBackup.zip "
        "C:\\Restore > C:\\Apps\\Backup\\SWTemp.dat";
    EXPECT_EQ(Trim(a.job.ArchiverCommand) + " " + a.job.ArchiverTail, expected);
    EXPECT_EQ(rig.read("C:\\Apps\\Backup\\SWTemp.bat"),
              "@ECHO OFF\r\n" + ToLower(expected) + "\r\n");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_TRUE(
        test::Shows(rig.ui.messages[0], {.text = "You are about to restore the crate Documents to "
                                                 "C:\\Restore. Are you sure this is right?",
                                         .title = "Confirmation of Restore",
                                         .icon = MsgIcon::Information}));
    EXPECT_EQ(a.job.FilesToDo, 3);  // two files on disk, one single file
    EXPECT_EQ(a.job.FilesDone, 2);
    EXPECT_EQ(rig.statuses, (std::vector<std::string>{"Initializing...", "Working..."}));
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Complete");
    std::vector<std::string> log = Lines(rig.read("C:\\Apps\\Backup\\Log.txt"));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "Stowaway v2.0 - Restore");
    EXPECT_NE(log[1].find("Number of files to Restore: 3"), std::string::npos);
    EXPECT_EQ(log[2], "    Crate: Documents - Archive: D:\\Backups\\SWBackup.zip");
    EXPECT_FALSE(rig.ui.busy());
}

// A location typed but not yet stored (no other Crate picked, no tab changed) is
// the archive restored, as the box shows it; the edit is stored as a backup does.
TEST_F(RestoreJob, RestoresTheArchiveTheWindowShows) {
    App& a = *rig.app;
    a.FrmMain.TxtBackupLocation.setText("E:\\Edited.zip");
    RestoreCrate(a);
    EXPECT_EQ(a.job.ArchiverCommand.find("-dir=relative E:\\Edited.zip C:\\Restore"),
              std::string("C:\\Apps\\Backup\\PKZIP25.EXE -extract=update ").size())
        << a.job.ArchiverCommand;
    EXPECT_EQ(a.store.CrateTable[0].BackupLocation, "E:\\Edited.zip");

    // While another job runs nothing is stored and nothing starts.
    a.FrmMain.TxtBackupLocation.setText("F:\\Later.zip");
    a.job.Running = true;
    RestoreCrate(a);
    a.job.Running = false;
    EXPECT_EQ(a.store.CrateTable[0].BackupLocation, "E:\\Edited.zip");
}

TEST_F(RestoreJob, VisibleOutputAllFilesAndBlanksInPaths) {
    App& a = *rig.app;
    a.FrmMain.ChkOverwriteOlder.setValue(CheckBox::Unchecked);
    a.FrmMain.ChkHideOutput.setValue(CheckBox::Unchecked);
    a.FrmMain.TxtRestoreLocation.setText("C:\\My Restore");
    RestoreCrate(a);
    EXPECT_EQ(a.job.ArchiverCommand,
              "C:\\Apps\\Backup\\PKZIP25.EXE -extract=all -dir=relative D:\\Backups\\SWBackup.zip "
              "\"C:\\My Restore\"");
    EXPECT_EQ(a.job.ArchiverTail, "");
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Complete");
}

TEST_F(RestoreJob, AnErrorLineFailsTheRestoreAndAMissingFolderOnlyTouchesTheCount) {
    App& a = *rig.app;
    CrateRecord& c = a.store.CrateTable[0];
    c.FolderMax = 2;
    CrateRecord::SetEntry(c.Folders, 1, "R+ C:\\Gone\\*.*");
    rig.script->onStart = [&](const std::string&) { rig.emit("PKZIP: (F) archive not found"); };
    RestoreCrate(a);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(),
              "There was an Error in the Restore. See the PkZip Output log for details.");
    std::vector<std::string> log = Lines(rig.read("C:\\Apps\\Backup\\Log.txt"));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3], "    Error: (F) archive not found");
}

TEST_F(RestoreJob, CancelEmptiesTheWorkFilesAndRunsNothing) {
    App& a = *rig.app;
    rig.write("C:\\Apps\\Backup\\SWTemp.dat", "old");
    rig.ui.answers = {MsgResult::Cancel};
    RestoreCrate(a);
    EXPECT_TRUE(rig.script->started.empty());
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_TRUE(test::Shows(rig.ui.messages[1],
                            {.text = "Restore Aborted.", .title = "Confirmation of Restore"}));
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Aborted");
    EXPECT_EQ(rig.read("C:\\Apps\\Backup\\SWTemp.dat"), "");
    EXPECT_FALSE(rig.ui.busy());
}

TEST_F(RestoreJob, RefusesWhatCannotRun) {
    App& a = *rig.app;
    a.FrmMain.TxtRestoreLocation.setText("C:\\Say \"Hi\"");
    RestoreCrate(a);
    a.FrmMain.TxtRestoreLocation.setText("   ");
    RestoreCrate(a);
    EXPECT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Aborted");
    {
        JobGuard other(a.jobContext());
        RestoreCrate(a);
        EXPECT_EQ(a.FrmMain.StBMain.panelText(), JobRunningText);
    }
    a.store.CurrentIndex = -1;
    RestoreCrate(a);
    EXPECT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_TRUE(rig.script->started.empty());
}

}  // namespace
}  // namespace stowaway
