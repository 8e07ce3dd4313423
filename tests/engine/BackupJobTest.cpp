#include "engine/BackupJob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "EngineRig.h"
#include "engine/ArchiverCommands.h"
#include "engine/JobGuard.h"
#include "engine/WorkFiles.h"
#include "platform/Text.h"
#include "store/ArchiveHeader.h"
#include "support/SystemSupport.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

using test::Lines;

TEST(BackupJob, TheWorkedExampleRunsTextForText) {
    test::Rig rig(true, "C:\\Apps\\Backup");
    App& a = *rig.app;
    CrateRecord& c = rig.crate("Documents");
    c.UpdateOnly = 1;
    c.Compression = 5;
    c.BackupLocation = "D:\\Backups\\SWBackup.zip";
    c.FolderMax = 1;
    CrateRecord::SetEntry(c.Folders, 0, "R+ C:\\Data\\*.*");
    rig.write("C:\\Data\\Letter.TXT", "x");
    rig.show();
    bool busyWhileRunning = false;
    rig.script->onStart = [&](const std::string&) {
        busyWhileRunning = rig.ui.busy();
        rig.emit("  Adding: c:\\data\\letter.txt ... done.");
    };
    BackupCrate(a);

    const std::string expected =
        "\"C:\\Apps\\Backup\\PKZIP25.EXE\" -default -add=update "
        "-header=@\"C:\\Apps\\Backup\\SWHeader.dat\" -temp=\"C:\\Apps\\Backup\" -lev=5 "
        "-path=full -nofix \"D:\\Backups\\SWBackup.zip\" @\"C:\\Apps\\Backup\\SWTemp.lst\" > "
        "\"C:\\Apps\\Backup\\SWTemp.dat\"";
    EXPECT_EQ(Trim(a.job.ArchiverCommand) + " " + a.job.ArchiverTail, expected);
    EXPECT_EQ(rig.read("C:\\Apps\\Backup\\SWTemp.bat"),
              "@ECHO OFF\r\n" + ToLower(expected) + "\r\n");
    EXPECT_EQ(rig.read("C:\\Apps\\Backup\\SWTemp.lst"), "C:\\Data\\letter.txt\r\n");
    EXPECT_EQ(rig.read("C:\\Apps\\Backup\\SWHeader.dat"), FormatArchiveHeader(c));
    EXPECT_EQ(a.job.BatchPath, "C:\\Apps\\Backup\\SWTemp.bat");
    EXPECT_EQ(a.job.OutputPath, "C:\\Apps\\Backup\\SWTemp.dat");
    EXPECT_EQ(a.job.FilesToDo, 1);
    EXPECT_EQ(a.job.FilesDone, 1);
    EXPECT_TRUE(busyWhileRunning);
    EXPECT_FALSE(rig.ui.busy());
    EXPECT_FALSE(a.job.Running);
    EXPECT_EQ(rig.statuses, (std::vector<std::string>{"Initalizing...", "Working..."}));
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Backup Complete");
    EXPECT_EQ(a.FrmMain.PrBMain.value(), 0);
    EXPECT_EQ(Lines(rig.read("C:\\Apps\\Backup\\Log.txt"))[0], "Stowaway v2.0 - Standard Backup");
}

TEST(BackupJob, OptionsGiveTheirPiecesInOrder) {
    test::Rig rig;
    App& a = *rig.app;
    CrateRecord c;
    c.BackupLocation = "A:\\Mail.zip";
    c.UpdateOnly = 1;
    c.MultiDisk = 1;
    c.Compression = 9;
    const WorkFiles files = WorkFilePaths(a.jobContext());
    EXPECT_EQ(ComposeBackupCommand(a.jobContext(), c, files),
              "\"C:\\Backup\\PKZIP25.EXE\" -default -add=update "
              "-header=@\"C:\\Backup\\SWHeader.dat\" -span -temp=\"C:\\Backup\" -lev=9 -path=full "
              "-nofix \"A:\\Mail.zip\" ");
    c.UpdateOnly = 0;
    c.MultiDisk = 0;
    c.Compression = 10;  // the slider's right end hands over level 0
    std::string cmd = ComposeBackupCommand(a.jobContext(), c, files);
    EXPECT_NE(cmd.find("-default -add=all -header="), std::string::npos);
    EXPECT_EQ(cmd.find("-span"), std::string::npos);
    EXPECT_NE(cmd.find("-lev=0 "), std::string::npos);
    c.Compression = 6;
    EXPECT_NE(ComposeBackupCommand(a.jobContext(), c, files).find("-lev=6 "), std::string::npos);
    c.UpdateOnly = 2;  // neither flag: no piece
    EXPECT_NE(ComposeBackupCommand(a.jobContext(), c, files).find("-default -header="),
              std::string::npos);
    EXPECT_EQ(ComposeBackupTail(files, false), "@\"C:\\Backup\\SWTemp.lst\"");

    test::Rig root(true, "C:\\");
    EXPECT_EQ(
        ComposeBackupCommand(root.app->jobContext(), c, WorkFilePaths(root.app->jobContext())),
        "\"C:\\PKZIP25.EXE\" -default -header=@\"C:\\SWHeader.dat\" -temp=\"C:\\\" -lev=6 "
        "-path=full -nofix \"A:\\Mail.zip\" ");
}

TEST(BackupJob, TheListHoldsRuleFilesThenSingleFilesAndWorkFilesStartEmpty) {
    test::Rig rig;
    App& a = *rig.app;
    CrateRecord& c = rig.crate("Both");
    c.FolderMax = 2;
    CrateRecord::SetEntry(c.Folders, 0, "R- Include: C:\\Data\\*.txt");
    CrateRecord::SetEntry(c.Folders, 1, "R- C:\\Data\\*.*");
    c.FileMax = 2;
    CrateRecord::SetEntry(c.Files, 0, "C:\\AUTOEXEC.BAT");
    CrateRecord::SetEntry(c.Files, 1, "C:\\Data\\a.txt");
    rig.write("C:\\Data\\a.txt", "x");
    rig.write("C:\\Data\\b.doc", "x");
    rig.show();
    a.FrmMain.ChkHideOutput.setValue(CheckBox::Unchecked);
    rig.write("C:\\Backup\\SWTemp.dat", "old output ... done.\r\n");
    BackupCrate(a);
    std::vector<std::string> list = Lines(rig.read("C:\\Backup\\SWTemp.lst"));
    // The window's sorted folder list puts the whole-folder rule first.
    ASSERT_EQ(list.size(), 5u);
    std::sort(list.begin(), list.begin() + 2);
    EXPECT_EQ(list[0], "C:\\Data\\a.txt");
    EXPECT_EQ(list[1], "C:\\Data\\b.doc");
    EXPECT_EQ(list[2], "C:\\Data\\a.txt");   // selected by both rules: listed twice
    EXPECT_EQ(list[3], "C:\\AUTOEXEC.BAT");  // as stored, not tested for existence
    EXPECT_EQ(list[4], "C:\\Data\\a.txt");
    EXPECT_EQ(a.job.FilesToDo, 5);
    // Nothing captured: the old output was emptied and the run counts 0 files.
    EXPECT_EQ(a.job.ArchiverTail, "@\"C:\\Backup\\SWTemp.lst\"");
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.dat"), "");
    EXPECT_EQ(a.job.FilesDone, 0);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Backup Complete");
}

TEST(BackupJob, AFolderThatCannotBeReadIsLoggedAndReportedButTheRestRuns) {
    test::Rig rig;
    App& a = *rig.app;
    CrateRecord& c = rig.crate("Partly");
    c.FolderMax = 2;
    CrateRecord::SetEntry(c.Folders, 0, "R+ C:\\Gone\\*.*");
    CrateRecord::SetEntry(c.Folders, 1, "R+ C:\\Data\\*.*");
    rig.write("C:\\Data\\a.txt", "x");
    rig.show();
    BackupCrate(a);
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.lst"), "C:\\Data\\a.txt\r\n");
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), BackupErrorText);
    std::vector<std::string> log = Lines(rig.read("C:\\Backup\\Log.txt"));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[2], "    Crate: Partly - Archive: C:\\Backup\\SWBackup.zip");
    EXPECT_EQ(log[3], "    Error: Cannot read the folder C:\\Gone\\; its files were left out.");
}

TEST(BackupJob, RefusesWithoutACrateWhileAnotherJobRunsOrForAQuotedPath) {
    test::Rig rig;
    App& a = *rig.app;
    BackupCrate(a);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Please select a crate before backing up.");
    EXPECT_FALSE(rig.ui.busy());

    rig.crate("Daily");
    rig.show();
    {
        JobGuard other(a.jobContext());
        BackupCrate(a);
        EXPECT_EQ(a.FrmMain.StBMain.panelText(), JobRunningText);
    }
    a.FrmMain.TxtBackupLocation.setText("D:\\My \"Best\".zip");
    BackupCrate(a);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_NE(rig.ui.messages[0].text.find("D:\\My \"Best\".zip"), std::string::npos);
    EXPECT_TRUE(rig.script->started.empty());
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Backup Not Started");
    EXPECT_FALSE(a.job.Running);
}

TEST(BackupJob, TheAutomatedModeUsesItsOwnWindowAndAlwaysCaptures) {
    test::Rig rig;
    App& a = *rig.app;
    CrateRecord& c = rig.crate("Nightly");
    c.BackupLocation = "D:\\N.zip";
    a.AbuMode = true;
    a.FrmMain.ChkHideOutput.setValue(CheckBox::Unchecked);
    a.FrmMain.ChkArgumentEditing.setValue(CheckBox::Checked);
    rig.script->onStart = [&](const std::string&) { rig.emit("PKZIP: (E) no files"); };
    EXPECT_FALSE(BackupSelectedCrate(a));
    // The record was not replaced by the hidden window's empty controls.
    EXPECT_NE(a.job.ArchiverCommand.find("\"D:\\N.zip\""), std::string::npos);
    EXPECT_NE(a.job.ArchiverTail.find(" > \"C:\\Backup\\SWTemp.dat\""), std::string::npos);
    EXPECT_EQ(a.FrmABU.StBMain.panelText(), BackupErrorText);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "");
    EXPECT_EQ(rig.script->styles, (std::vector<WindowStyle>{WindowStyle::Hidden}));
    EXPECT_EQ(Lines(rig.read("C:\\Backup\\Log.txt"))[0], "Stowaway v2.0 - Automated Backup");
    EXPECT_NE(std::find(rig.statuses.begin(), rig.statuses.end(), "Working..."),
              rig.statuses.end());
}

TEST(BackupJob, NamesTheListCannotCarryAreLeftOutLoggedAndMakeTheRunAnError) {
    STOWAWAY_NEEDS(PosixPaths);  // Windows names hold no line break
    test::Rig rig(false);
    App& a = *rig.app;
    a.AbuMode = true;
    const std::string dir = rig.dir.path();
    test::WriteFile(dir + "/private/key.txt", "secret");
    std::filesystem::create_directories(toPath(dir + "/data/evil\n" + dir + "/private"));
    test::WriteFile(dir + "/data/ok.txt", "x");
    CrateRecord& c = rig.crate("Smuggle");
    c.FolderMax = 1;
    CrateRecord::SetEntry(c.Folders, 0, "R+ " + dir + "/data/*.*");
    c.FileMax = 2;
    CrateRecord::SetEntry(c.Files, 0, dir + "/one\n" + dir + "/private/key.txt");
    CrateRecord::SetEntry(c.Files, 1, dir + "/data/ok.txt");
    rig.script->onStart = [&](const std::string&) {
        rig.emit("  Deflating: ok.txt ... done.");
        rig.emit("  Deflating: ok.txt ... done.");
    };
    EXPECT_FALSE(BackupSelectedCrate(a));
    EXPECT_EQ(rig.read(rig.programFile("SWTemp.lst")),
              dir + "/data/ok.txt\r\n" + dir + "/data/ok.txt\r\n");
    EXPECT_EQ(a.job.FilesToDo, 2);
    EXPECT_EQ(a.FrmABU.StBMain.panelText(), BackupErrorText);
    std::vector<std::string> log = Lines(rig.read(rig.programFile("Log.txt")));
    ASSERT_EQ(log.size(), 7u);  // and the failure's alert
    EXPECT_EQ(log[3], "    Error: The name " + dir +
                          "/data/evil\\n holds a line break, which the list file cannot carry; "
                          "it was left out.");
    EXPECT_EQ(log[4], "    Error: The file " + dir + "/one\\n" + dir +
                          "/private/key.txt holds a line break or NUL character, which the list "
                          "file cannot carry; it was left out.");
}

// A NUL ends a name where the OS reads it: a log at "run<NUL>.txt" would go to
// "run". (A backup location with one is refused as a quoted one is above; the
// texts are ArchiverCommands'.)
TEST(BackupJob, ALogPathWithANulIsReportedNeverCut) {
    test::Rig rig(false);
    App& a = *rig.app;
    a.AbuMode = true;
    rig.crate("Unlogged");
    a.store.LogPath = rig.dir.path() + std::string("/run\0.txt", 9);
    EXPECT_FALSE(BackupSelectedCrate(a));
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_EQ(a.FrmABU.StBMain.panelText(), BackupErrorText);
    EXPECT_FALSE(std::filesystem::exists(rig.dir.path() + "/run"));
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_NE(rig.ui.messages[0].text.find("/run\\0.txt"), std::string::npos);
}

TEST(DeletePreviousBackup, AsksThenDeletesOrSaysNothingWasFound) {
    test::Rig rig;
    App& a = *rig.app;
    DeletePreviousBackup(a);  // no Crate: nothing
    EXPECT_TRUE(rig.ui.messages.empty());

    CrateRecord& c = rig.crate("Docs");
    c.BackupLocation = "D:\\Docs.zip";
    rig.write("D:\\Docs.zip", "zip");
    rig.ui.answers = {MsgResult::Cancel};
    DeletePreviousBackup(a);
    EXPECT_EQ(rig.read("D:\\Docs.zip"), "zip");
    DeletePreviousBackup(a);
    DeletePreviousBackup(a);
    ASSERT_EQ(rig.ui.messages.size(), 5u);
    EXPECT_TRUE(test::Shows(rig.ui.messages[0],
                            {.text = "Are you sure you wish to attempt to delete a previous backup "
                                     "of Docs backed up at D:\\Docs.zip?",
                             .title = "Confirmation",
                             .icon = MsgIcon::Question,
                             .buttons = MsgButtons::OKCancel}));
    EXPECT_TRUE(
        test::Shows(rig.ui.messages[2], {.text = "Previous backup at D:\\Docs.zip was deleted.",
                                         .title = "Previous Backup Deleted",
                                         .icon = MsgIcon::Information}));
    EXPECT_FALSE(rig.platform->fileExists("D:\\Docs.zip"));
    EXPECT_TRUE(
        test::Shows(rig.ui.messages[4],
                    {.text = "No previous backup was found at D:\\Docs.zip. Nothing was done.",
                     .title = "Error",
                     .icon = MsgIcon::Exclamation}));
}

}  // namespace
}  // namespace stowaway
