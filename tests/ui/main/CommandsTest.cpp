#include "support/SystemSupport.h"
#include "ui/main/Commands.h"

#include <gtest/gtest.h>

#include "ui/main/Help.h"
#include "ui/main/StartedProgram.h"

namespace stowaway {
namespace {

using test::StartedProgram;

TEST(Commands, EveryButtonAndMenuItemIsConnected) {
    StartedProgram s;
    for (Control* c : s.f.controls()) {
        if (auto* b = dynamic_cast<Button*>(c)) {
            EXPECT_TRUE(b->onClick) << b->name();
        }
    }
    for (MainForm::Menu& menu : s.f.menus())
        for (MenuItem* item : menu.items)
            EXPECT_TRUE(item->separator() || item->onClick) << item->name();
}

TEST(Filters, OneFilterAtATimeAndTheTogglesNameTheirMode) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    f.ChkIncludeExclude.click();
    EXPECT_TRUE(f.CmdIncludeExclude.enabled() && f.TxtDirWildcard.enabled());
    EXPECT_EQ(f.TxtDirWildcard.colours(), ColourState::Usable);
    f.ChkDateIncludeExclude.click();
    EXPECT_FALSE(f.ChkIncludeExclude.checked() || f.CmdIncludeExclude.enabled());
    EXPECT_EQ(f.TxtDirWildcard.colours(), ColourState::Greyed);
    EXPECT_TRUE(f.TxtDateIncludeExclude.enabled() && f.TxtDateDirWildcard.enabled());
    f.CmdDateIncludeExclude.click();
    EXPECT_FALSE(s.app.AfterMode);
    EXPECT_EQ(f.CmdDateIncludeExclude.caption(), "Before");
    f.ChkIncludeExclude.click();
    EXPECT_FALSE(f.ChkDateIncludeExclude.checked() || f.TxtDateDirWildcard.enabled());
    f.CmdIncludeExclude.click();
    f.CmdIncludeExclude.click();
    EXPECT_TRUE(s.app.IncludeMode);
    EXPECT_EQ(f.CmdIncludeExclude.caption(), "Include");
}

TEST(OutputCoupling, HideOutputFollowsWhicheverBoxRanLast) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    auto hide = [&f] { return std::pair(f.ChkHideOutput.checked(), f.ChkHideOutput.enabled()); };
    f.ChkArgumentEditing.click();
    EXPECT_EQ(hide(), std::pair(false, false));
    f.ChkMultiDisk.mouseMove();  // multi-disk is off: output hidden again
    EXPECT_EQ(hide(), std::pair(true, true));
    f.ChkMultiDisk.click();
    EXPECT_EQ(hide(), std::pair(false, false));
    f.ChkArgumentEditing.setValue(CheckBox::Grayed);  // grey changes nothing
    EXPECT_EQ(hide(), std::pair(false, false));
    // Showing a Crate sets multi-disk from the Crate, and so the coupling.
    f.TxtAddCrate.setText("Work");
    f.CmdAddCrate.click();
    EXPECT_EQ(hide(), std::pair(true, true));
    f.LstCrate.setListIndex(0);
    EXPECT_EQ(hide(), std::pair(false, false));
}

TEST(Compression, TheCaptionNamesFourLevelsAndTheLevelReachesTheCrate) {
    StartedProgram s({"Mail"});
    const std::pair<int, const char*> cases[] = {{0, "Compression Level:  0 Store (None)"},
                                                 {1, "Compression Level:  1 Minimum"},
                                                 {2, "Compression Level:  2"},
                                                 {5, "Compression Level:  5 Normal"},
                                                 {9, "Compression Level:  9 Maximum"},
                                                 {10, "Compression Level:  10"}};
    for (const auto& [level, caption] : cases) {
        s.f.HSlCompression.setValue(level);
        EXPECT_EQ(s.f.LblCompression.caption(), caption);
        EXPECT_EQ(s.record(0).Compression, level);
    }
}

TEST(Locations, DefaultsComeBackAtOnceAndLeavingBrowseNormalises) {
    StartedProgram s({"Mail"});
    TextBox& backup = s.f.TxtBackupLocation;
    backup.setText(".zip");
    EXPECT_EQ(backup.text(), "C:\\Backup\\SWBackup.zip");
    s.f.TxtRestoreLocation.setText("");
    EXPECT_EQ(s.f.TxtRestoreLocation.text(), "C:\\Backup");
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Saves\\week", "D:\\Saves\\week.zip"},
        {"D:\\Saves\\.ZIP", "D:\\Saves\\SWBackup.zip"},
        {"D:\\Saves\\Week.Zip", "D:\\Saves\\Week.Zip"},
        {"D:\\Saves\\", "D:\\Saves\\.zip"}};
    for (const auto& [typed, normalised] : cases) {
        backup.setText(typed);
        s.f.CmdBrowseBackupLoacation.loseFocus();
        EXPECT_EQ(backup.text(), normalised) << typed;
    }
    s.f.CmdBrowseBackupLoacation.loseFocus();  // the default name only the next time
    EXPECT_EQ(backup.text(), "D:\\Saves\\SWBackup.zip");
}

TEST(Locations, EveryBoxThatReachesTheDataFileRefusesADoubleQuote) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    for (TextBox* box :
         {&f.TxtBackupLocation, &f.TxtRestoreLocation, &f.TxtDirWildcard, &f.TxtDateDirWildcard,
          &f.TxtDateIncludeExclude, &f.TxtLogPath, &f.TxtLogViewer}) {
        const std::string before = box->text();
        box->setText("a\"b");
        EXPECT_EQ(box->text(), before) << box->name();
    }
    EXPECT_EQ(s.p.ui.messages.size(), 7u);
    EXPECT_EQ(s.p.ui.messages[0].title, "Invalid Character");
    s.p.ui.nextFiles.push_back("D:\\say \"hi\".zip");  // a browsed one too
    f.CmdBrowseBackupLoacation.click();
    EXPECT_EQ(f.TxtBackupLocation.text(), "D:\\Mail.zip");
}

TEST(BrowseDialogs, EachButtonFillsItsBoxFromTheDialog) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    test::FakeUi& ui = s.p.ui;
    f.CmdBrowseBackupLoacation.click();  // cancelled: the default, not the old location
    EXPECT_EQ(f.TxtBackupLocation.text(), "C:\\Backup\\SWBackup.zip");
    ui.nextFiles.push_back("E:\\Logs\\run.txt");
    f.CmdBrowseLogFile.click();
    EXPECT_EQ(f.TxtLogPath.text(), "E:\\Logs\\run.txt");
    f.CmdBrowseTxtViewer.click();  // cancelled: empty
    EXPECT_EQ(f.TxtLogViewer.text(), "");
    f.MnuFileImportCrate.click();  // cancelled: nothing imported
    EXPECT_EQ(ui.fileFilters, (std::vector<std::string>{
                                  "Zip Files (*.zip)|*.zip|", "Text Files (*.txt)|*.txt|",
                                  "Executable Files (*.exe)|*.exe|", "Zip Files (*.zip)|*.zip|"}));
    f.CmdBrowseRestore.click();  // cancelled: unchanged
    EXPECT_EQ(f.TxtRestoreLocation.text(), "C:\\Backup");
    ui.nextFolders.push_back(std::string("E:\\Restore\0junk", 15));
    f.CmdBrowseRestore.click();
    EXPECT_EQ(f.TxtRestoreLocation.text(), "E:\\Restore");
    EXPECT_EQ(ui.folderTitles.back(), "Restore Location");
    // Each dialog is told where the box's value lies, as the system names it; only
    // the archive to back up into is chosen for writing.
    const std::string root = s.p.native("C:\\Backup");
    EXPECT_EQ(ui.fileStarts,
              (std::vector<std::string>{
                  s.p.native("D:\\Mail.zip"), s.p.native("C:\\Backup\\Log.txt"),
                  s.p.native("C:\\WINDOWS\\Notepad.exe"), s.p.native("C:\\Backup\\SWBackup.zip")}));
    EXPECT_EQ(ui.fileKinds,
              (std::vector<FileDialogKind>{FileDialogKind::Save, FileDialogKind::Open,
                                           FileDialogKind::Open, FileDialogKind::Open}));
    EXPECT_EQ(ui.folderStarts, (std::vector<std::string>{root, root}));
}

TEST(Storing, TabChangeSaveExitAndCloseBoxKeepTheShownCrate) {
    StartedProgram s({"Mail"});
    s.f.TxtRestoreLocation.setText("E:\\Back");
    s.f.SSTMain.click(0);  // the same tab: nothing stored
    EXPECT_EQ(s.record(0).RestoreLocation, "C:\\Backup");
    s.f.SSTMain.click(2);
    EXPECT_EQ(s.record(0).RestoreLocation, "E:\\Back");

    auto saved = [&s](const std::string& where) {
        return s.dataFile().find("\"SBLOC=" + where + "\"\r\n") != std::string::npos;
    };
    s.f.TxtBackupLocation.setText("E:\\saved.zip");
    s.f.MnuAdvancedSave.click();
    EXPECT_TRUE(saved("E:\\saved.zip"));
    s.f.TxtBackupLocation.setText("E:\\closed.zip");
    s.f.close();
    EXPECT_TRUE(saved("E:\\closed.zip"));

    int exits = 0;
    s.f.onExit = [&exits] { ++exits; };
    s.f.TxtBackupLocation.setText("E:\\exit.zip");
    s.f.MnuFileExit.click();
    EXPECT_TRUE(saved("E:\\exit.zip"));
    EXPECT_TRUE(s.f.ExitRequested);
    EXPECT_EQ(exits, 1);
    s.f.TxtBackupLocation.setText("E:\\late.zip");
    s.f.close();  // the window going after "E&xit" saves nothing more
    EXPECT_FALSE(saved("E:\\late.zip"));
}

TEST(Browsing, TheFileListFollowsTheTreeAndBadPlacesAreReported) {
    STOWAWAY_NEEDS(PosixPaths);
    StartedProgram s({}, false);
    const std::string folder = s.p.dir / "data";
    for (const char* name : {"b.txt", ".hidden", "A.doc", "sub/inner.txt"})
        test::WriteFile(folder + "/" + name, "");
    s.f.DirSelect.setPath(folder);
    EXPECT_EQ(s.f.FileSelect.items(), (std::vector<std::string>{".hidden", "A.doc", "b.txt"}));
    test::WriteFile(folder + "/c.txt", "");
    s.f.MnuEditRefresh.click();
    EXPECT_EQ(s.f.FileSelect.count(), 4);

    s.f.DirSelect.setPath(folder + "/missing");
    EXPECT_EQ(s.f.DirSelect.path(), folder);
    s.f.DrvSelect.setDrives({"/", "/no-such-drive"});
    s.f.DrvSelect.setDrive("/no-such-drive");
    EXPECT_EQ(s.f.DrvSelect.drive(), "/");
    EXPECT_EQ(s.f.DirSelect.path(), folder);
    ASSERT_EQ(s.p.ui.messages.size(), 2u);
    EXPECT_EQ(s.p.ui.messages[0].text,
              "Directory " + folder + "/missing doesn't exist or is invalid");
    EXPECT_TRUE(test::Shows(
        s.p.ui.messages[1],
        {.text = "Drive /NO-SUCH-DRIVE is not able to be read.", .title = "Invalid Drive"}));
}

TEST(HelpAndAbout, HelpStartsTheViewerOrSaysItCannotAndAboutShowsTheVersion) {
    StartedProgram s;
    EXPECT_EQ(HelpCommandLine(s.app), "C:\\WINDOWS\\HH.EXE C:\\Backup\\Stowaway.chm");
    s.f.MnuHelpContents.click();  // there is no viewer in the test's Windows folder
    ASSERT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_EQ(s.p.ui.messages[0].title, "Help File Error");
    if (test::Has(test::Facility::PosixPaths)) {
        test::TestProgram posix(false, "/opt/my backup");
        EXPECT_EQ(HelpCommandLine(*posix.app),
                  "/usr/bin/xdg-open \"/opt/my backup/Stowaway.html\"");
    }

    s.f.MnuHelpAbout.click();
    EXPECT_EQ(s.app.FrmAbout.LblVersion.caption(), "Version 2.0");
    s.app.FrmAbout.CmdOkAbout.click();
    EXPECT_FALSE(s.app.FrmAbout.visible());
    s.f.MnuHelpAbout.click();
    EXPECT_TRUE(s.app.FrmAbout.visible());
}

}  // namespace
}  // namespace stowaway
