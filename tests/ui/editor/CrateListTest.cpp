#include "ui/editor/CrateList.h"

#include <gtest/gtest.h>

#include "ui/main/StartedProgram.h"

namespace stowaway {
namespace {

using test::Count;
using test::StartedProgram;
using Names = std::vector<std::string>;

void ExpectCrateControls(MainForm& f, bool on) {
    for (Control* c : std::initializer_list<Control*>{&f.DrvSelect, &f.LstDir, &f.CmdSelectDir,
                                                      &f.HSlCompression, &f.TxtBackupLocation})
        EXPECT_EQ(c->enabled(), on) << c->name();
    EXPECT_EQ(f.LstFile.colours(), on ? ColourState::Usable : ColourState::Greyed);
    EXPECT_TRUE(f.CmdAddCrate.enabled() && f.LstCrate.enabled() && f.CmdBrowseRestore.enabled());
}

TEST(AddCrate, TheNewCrateHasTheDefaultsAndBecomesCurrentWhileTheOldKeepsItsEdits) {
    StartedProgram s;
    ExpectCrateControls(s.f, false);
    AddCrate(s.app, "Mail");
    s.f.TxtRestoreLocation.setText("E:\\Restore");
    s.f.LstFile.addItem("C:\\x.txt");
    s.f.TxtAddCrate.setText("Photos");
    s.f.CmdAddCrate.click();
    EXPECT_EQ(s.f.LstCrate.items(), (Names{"Mail", "Photos"}));
    EXPECT_EQ(s.f.LstCrate.listIndex(), 1);
    EXPECT_EQ(s.app.store.CurrentIndex, 1);
    EXPECT_EQ(s.record(0).RestoreLocation, "E:\\Restore");
    EXPECT_EQ(s.record(0).Files, Names{"C:\\x.txt"});
    EXPECT_EQ(s.f.TxtBackupLocation.text(), "C:\\Backup\\SWBackup.zip");
    EXPECT_EQ(s.f.TxtRestoreLocation.text(), "C:\\Backup");
    EXPECT_EQ(s.f.LblCompression.caption(), "Compression Level:  5 Normal");
    EXPECT_EQ(s.f.LstFile.count(), 0);
    EXPECT_EQ(s.f.TxtAddCrate.text(), "");
    ExpectCrateControls(s.f, true);
    EXPECT_EQ(Count(s.dataFile(), "SNAME="), 0);  // memory only until the next save
}

TEST(AddCrate, RefusedNamesAddNothing) {
    StartedProgram s({"Documents"});
    s.f.TxtAddCrate.setText("DOCUMENTS");  // another letter case is the same name
    s.f.CmdAddCrate.click();
    s.f.CmdAddCrate.click();  // empty box
    EXPECT_EQ(s.f.LstCrate.items(), Names{"Documents"});
    EXPECT_EQ(s.app.store.CurrentIndex, 0);
    EXPECT_TRUE(s.p.ui.messages.empty());

    // A double quote would not read back from the data file: a message, and the
    // box keeps the text to be corrected.
    s.f.TxtAddCrate.setText("My \"best\"");
    s.f.CmdAddCrate.click();
    EXPECT_EQ(s.f.LstCrate.count(), 1);
    EXPECT_EQ(s.f.TxtAddCrate.text(), "My \"best\"");
    ASSERT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_EQ(s.p.ui.messages[0].title, "Invalid Character");
    EXPECT_FALSE(s.app.ListUpdating);

    // Letter case of any script.
    AddCrate(s.app, "Ärger");
    AddCrate(s.app, "ÄRGER");
    AddCrate(s.app, "ärger");
    EXPECT_EQ(s.f.LstCrate.items(), (Names{"Documents", "Ärger"}));

    AddCrate(s.app, "  ");  // blanks are a name
    for (int i = 2; i < CrateSlots; ++i) AddCrate(s.app, "c" + std::to_string(i));
    EXPECT_EQ(s.f.LstCrate.count(), 513);
    AddCrate(s.app, "one too many");
    EXPECT_EQ(s.f.LstCrate.count(), 513);
    EXPECT_EQ(s.f.LstCrate.item(2), "  ");
    EXPECT_EQ(s.app.store.CurrentIndex, 512);
}

TEST(RenameCrate, TheCurrentCrateTakesTheNameAndStaysShown) {
    StartedProgram s({"Mail", "Work", "Old"});
    s.f.LstCrate.setListIndex(1);
    s.f.TxtBackupLocation.setText("E:\\work.zip");
    s.f.TxtAddCrate.setText("Mail");  // another Crate's name is allowed
    s.f.CmdRenameCrate.click();
    EXPECT_EQ(s.f.LstCrate.items(), (Names{"Mail", "Mail", "Old"}));
    EXPECT_EQ(s.f.LstCrate.listIndex(), 1);
    EXPECT_EQ(s.app.store.CurrentIndex, 1);
    EXPECT_EQ(s.record(1).BackupLocation, "E:\\work.zip");
    EXPECT_EQ(s.f.TxtBackupLocation.text(), "E:\\work.zip");
    EXPECT_EQ(s.record(0).BackupLocation, "D:\\Mail.zip");
    EXPECT_EQ(s.f.TxtAddCrate.text(), "");
    ExpectCrateControls(s.f, true);
}

TEST(RenameCrate, RefusalsChangeNothing) {
    StartedProgram s({"Mail"});
    s.f.MnuEditRenameCrate.click();
    ASSERT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_EQ(s.p.ui.messages[0].text,
              "You cannot rename a crate to nothing. Please enter the new name for the crate in "
              "the box titled \"New Crate Name:\". Please enter the new name there.");
    s.f.TxtAddCrate.setText("A \"quoted\" name");
    RenameCrate(s.app);
    EXPECT_EQ(s.p.ui.messages.back().title, "Invalid Character");
    // No current Crate, as right after a delete: nothing to rename.
    s.f.TxtAddCrate.setText("Post");
    s.app.store.CurrentIndex = -1;
    RenameCrate(s.app);
    EXPECT_EQ(s.f.LstCrate.items(), Names{"Mail"});
    EXPECT_EQ(s.record(0).Name, "Mail");
    EXPECT_EQ(s.app.store.CurrentIndex, -1);
    EXPECT_EQ(s.p.ui.messages.size(), 2u);
}

TEST(DeleteCrate, AConfirmedDeleteSavesAndLeavesTheOthersOnceEach) {
    StartedProgram s({"Mail", "Work", "Photos"});
    s.f.LstCrate.setListIndex(1);
    s.f.CmdDeleteCrate.click();
    ASSERT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_EQ(s.p.ui.messages[0].text,
              "Are you sure you want to delete the crate labeled \"Work\"?");
    EXPECT_EQ(s.f.LstCrate.items(), (Names{"Mail", "Photos"}));
    EXPECT_EQ(s.f.LstCrate.listIndex(), -1);
    EXPECT_EQ(s.app.store.CurrentIndex, -1);
    EXPECT_EQ(s.record(1).BackupLocation, "D:\\Photos.zip");
    EXPECT_TRUE(s.record(2).Name.empty());
    s.f.MnuFileExit.click();  // ending at once writes each remaining Crate once
    EXPECT_EQ(Count(s.dataFile(), "SNAME="), 2);
    EXPECT_EQ(Count(s.dataFile(), "SNAME=Photos"), 1);
}

TEST(DeleteCrate, CancelAndNoSelectionKeepEverythingAndTheLastCrateGreysTheControls) {
    StartedProgram s({"Mail", "Work"});
    s.p.ui.answers.push_back(MsgResult::Cancel);
    s.f.MnuEditDeleteCrate.click();
    s.f.LstCrate.setListIndex(-1);
    DeleteCrate(s.app);
    EXPECT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_EQ(s.f.LstCrate.items(), (Names{"Mail", "Work"}));

    s.f.LstCrate.setListIndex(1);
    DeleteCrate(s.app);
    EXPECT_EQ(s.f.LstCrate.items(), Names{"Mail"});
    ExpectCrateControls(s.f, true);
    s.f.LstCrate.setListIndex(0);
    DeleteCrate(s.app);
    EXPECT_EQ(s.f.LstCrate.count(), 0);
    EXPECT_EQ(s.app.store.CrateMax, -1);
    ExpectCrateControls(s.f, false);
}

TEST(SelectCrate, PickingAnotherCrateStoresDefaultsAndResetsTheFilters) {
    StartedProgram s({"Mail", "Work"});
    s.f.TxtBackupLocation.setText("");
    s.f.ChkIncludeExclude.click();
    s.f.TxtDirWildcard.setText("*.doc");
    s.f.CmdIncludeExclude.click();
    s.f.LstCrate.setListIndex(1);
    EXPECT_EQ(s.record(0).BackupLocation, "C:\\Backup\\SWBackup.zip");
    EXPECT_EQ(s.f.TxtBackupLocation.text(), "D:\\Work.zip");
    EXPECT_FALSE(s.f.ChkIncludeExclude.checked() || s.f.TxtDirWildcard.enabled());
    EXPECT_EQ(s.f.TxtDirWildcard.colours(), ColourState::Greyed);
    EXPECT_EQ(s.f.TxtDirWildcard.text(), "*.*");
    EXPECT_EQ(s.f.CmdIncludeExclude.caption(), "Exclude");  // the mode outlives the change
}

}  // namespace
}  // namespace stowaway
