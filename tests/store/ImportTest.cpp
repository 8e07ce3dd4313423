#include "store/Import.h"

#include <gtest/gtest.h>

#include "engine/EngineRig.h"
#include "engine/ImportJob.h"
#include "engine/JobGuard.h"
#include "platform/Text.h"
#include "startup/Startup.h"
#include "store/ArchiveHeader.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

CrateRecord Documents() {
    CrateRecord c = test::Documents();
    c.UpdateOnly = 1;
    return c;
}

// What the archiver's brief listing makes of a header: six preamble lines, then
// every header line followed by an empty one, then the entries.
std::string ListingOf(const std::string& header) {
    std::string out =
        "PKZIP25.EXE archive listing (brief)\r\nStand-in\r\nEntries: 1\r\nTotal size: 1 bytes\r\n"
        "Total packed: 1 bytes\r\nArchive header:\r\n";
    for (const std::string& line : test::Lines(header)) out += line + "\r\n\r\n";
    return out + "Archive: x.zip\r\n  Length  Name\r\n       1  a.txt\r\n";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(HeaderListing, ReadsBackWhatTheBackupStored) {
    CrateRecord read;
    ASSERT_EQ(ParseHeaderListing(ListingOf(FormatArchiveHeader(Documents())), read),
              ListingVerdict::Crate);
    EXPECT_EQ(read.Name, "Documents");
    EXPECT_EQ(read.BackupLocation, "C:\\Backup\\SWBackup.zip");
    EXPECT_EQ(read.RestoreLocation, "C:\\Backup");
    EXPECT_EQ(read.Compression, 5);
    EXPECT_EQ(read.UpdateOnly, 1);
    EXPECT_EQ(read.MultiDisk, 0);
    EXPECT_EQ(read.FolderMax, 2);
    EXPECT_EQ(CrateRecord::Entry(read.Folders, 1), "R- Include: C:\\Work\\*.doc");
    EXPECT_EQ(read.FileMax, 1);
    EXPECT_EQ(CrateRecord::Entry(read.Files, 0), "C:\\AUTOEXEC.BAT");

    CrateRecord empty = Documents();
    empty.RestoreLocation = "";
    empty.FolderMax = -1;
    empty.FileMax = 0;
    ASSERT_EQ(ParseHeaderListing(ListingOf(FormatArchiveHeader(empty)), read),
              ListingVerdict::Crate);
    EXPECT_EQ(read.RestoreLocation, "");
    EXPECT_EQ(read.FolderMax, -1);
}

TEST(HeaderListing, RefusesAnythingItCannotReadWhole) {
    const std::string good = FormatArchiveHeader(Documents());
    CrateRecord read;
    read.Name = "untouched";
    auto verdict = [&](const std::string& listing) { return ParseHeaderListing(listing, read); };
    EXPECT_EQ(verdict(""), ListingVerdict::NotCompliant);
    EXPECT_EQ(verdict(ListingOf("")), ListingVerdict::NotCompliant);
    EXPECT_EQ(verdict(ListingOf(Replace(good, "Version: 2.0", "Version: 1.5"))),
              ListingVerdict::OtherVersion);
    // A listing that ends early.
    std::string cut = ListingOf(good);
    EXPECT_EQ(verdict(cut.substr(0, cut.find("Options:"))), ListingVerdict::NotCompliant);
    // Commas shift every later line; one on the very last line is caught as well.
    const std::pair<const char*, const char*> damaged[] = {
        {"Stowaway Internal", "stowaway internal"},
        {"Version: 2.0", "Version: two"},
        {"Name: Documents", "Name: Docs, old"},
        {"AUTOEXEC.BAT", "A,B.BAT"},
        {"Level: 5", "Level: five"},
        {"Max Files: 1", "Max Files: 4098"},
        {"Max Folders: 2", "Max Folders: 3"},
        {"Name: Documents", "Name: "}};
    for (const auto& [from, to] : damaged)
        EXPECT_EQ(verdict(ListingOf(Replace(good, from, to))), ListingVerdict::NotCompliant) << to;
    EXPECT_EQ(read.Name, "untouched");
    EXPECT_EQ(verdict(ListingOf(Replace(good, "Version: 2.0", "Version: 2"))),
              ListingVerdict::Crate);
}

class Import : public ::testing::Test {
  protected:
    Import() {
        rig.script->onStart = [this](const std::string&) {
            rig.write("C:\\Backup\\SWHeader.dat", listing);
        };
        rig.crate("Mail");
        rig.show();
    }
    test::Rig rig;
    std::string listing = ListingOf(FormatArchiveHeader(Documents()));
};

TEST_F(Import, AddsSelectsAndShowsTheCrate) {
    App& a = *rig.app;
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    EXPECT_EQ(rig.read("C:\\Backup\\SWTemp.bat"),
              "@ECHO ON\r\n\"C:\\Backup\\PKZIP25.EXE\" -view=brief C:\\Saves\\Docs.zip > "
              "C:\\Backup\\SWHeader.dat\r\n");
    EXPECT_EQ(rig.script->started,
              (std::vector<std::string>{"COMMAND.COM /c \"C:\\Backup\\SWTemp.bat\""}));
    EXPECT_EQ(rig.script->styles, (std::vector<WindowStyle>{WindowStyle::Hidden}));
    EXPECT_EQ(rig.statuses,
              (std::vector<std::string>{"Checking ZIP file for Stowaway compliance..."}));
    MainForm& f = a.FrmMain;
    EXPECT_EQ(f.LstCrate.items(), (std::vector<std::string>{"Mail", "Documents"}));
    EXPECT_EQ(f.LstCrate.listIndex(), 1);
    EXPECT_EQ(a.store.CurrentIndex, 1);
    EXPECT_EQ(a.store.CrateMax, 1);
    EXPECT_EQ(a.store.CrateTable[1].Name, "Documents");
    EXPECT_EQ(a.store.CrateTable[1].FolderMax, 2);
    EXPECT_EQ(f.LstDir.count(), 2);
    EXPECT_EQ(f.LstFile.items(), (std::vector<std::string>{"C:\\AUTOEXEC.BAT"}));
    EXPECT_EQ(f.HSlCompression.value(), 5);
    EXPECT_EQ(f.StBMain.panelText(), "Added Crate Data Successfully");
    EXPECT_FALSE(a.ListUpdating);
    EXPECT_FALSE(rig.ui.busy());
    EXPECT_TRUE(rig.ui.messages.empty());
}

// Started with no Crate, every Crate control is off; the imported Crate is shown
// ready to edit, as a Crate just added is.
TEST(ImportIntoAnEmptyList, ShowsTheCrateWithItsControlsOn) {
    test::Rig rig;
    rig.script->onStart = [&](const std::string&) {
        rig.write("C:\\Backup\\SWHeader.dat", ListingOf(FormatArchiveHeader(Documents())));
    };
    App& a = *rig.app;
    InitStartup(a, 0);  // as the window starts, before the (missing) data file
    LoadDataFile(a);
    InitStartup(a, 1);
    MainForm& f = a.FrmMain;
    ASSERT_FALSE(f.TxtBackupLocation.enabled());
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    ASSERT_EQ(f.LstCrate.items(), (std::vector<std::string>{"Documents"}));
    for (const Control* c : std::initializer_list<const Control*>{
             &f.LstDir, &f.LstFile, &f.DirSelect, &f.CmdSelectDir, &f.HSlCompression,
             &f.TxtBackupLocation, &f.TxtRestoreLocation, &f.ChkUpdateOnly, &f.ChkOverwriteOlder})
        EXPECT_TRUE(c->enabled()) << c->name();
    EXPECT_EQ(f.TxtBackupLocation.colours(), ColourState::Usable);
    EXPECT_EQ(f.LstDir.count(), 2);
    // What is typed now belongs to the imported Crate.
    f.TxtBackupLocation.setText("E:\\Moved.zip");
    StoreCurrentCrate(a);
    EXPECT_EQ(a.store.CrateTable[0].BackupLocation, "E:\\Moved.zip");
}

TEST_F(Import, ANameThatExistsInAnyCaseIsRefused) {
    App& a = *rig.app;
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    listing = Replace(listing, "Name: Documents", "Name: DOCUMENTS");
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_TRUE(
        test::Shows(rig.ui.messages[0], {.text = "The Crate titled DOCUMENTS already exists. "
                                                 "Stowaway cannot continue importing the data",
                                         .icon = MsgIcon::Exclamation}));
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Failed to add Crate Data");
    EXPECT_EQ(a.FrmMain.LstCrate.count(), 2);
    EXPECT_FALSE(a.ListUpdating);
    EXPECT_FALSE(rig.ui.busy());
    // Letter case of any script.
    listing = Replace(listing, "Name: DOCUMENTS", "Name: Ärger");
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    listing = Replace(listing, "Name: Ärger", "Name: ÄRGER");
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    EXPECT_EQ(a.FrmMain.LstCrate.count(), 3);
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[1].text,
              "The Crate titled ÄRGER already exists. Stowaway cannot continue importing the data");
}

TEST_F(Import, ForeignDamagedAndOldArchivesAddNothing) {
    App& a = *rig.app;
    listing = ListingOf("");
    ImportCrate(a, "C:\\Saves\\Other.zip");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text,
              "The ZIP file C:\\Saves\\Other.zip was not created by Stowaway. Therefore it is not "
              "possible to retrieve Crate data from it. This operation cannot continue.");
    EXPECT_EQ(a.FrmMain.StBMain.panelText(),
              "ZIP file is not Stowaway compliant. Cannot import Crate Data");

    listing = ListingOf(Replace(FormatArchiveHeader(Documents()), "2.0", "1.5"));
    ImportCrate(a, "C:\\Saves\\Old.zip");
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[1].text,
              "The ZIP file C:\\Saves\\Old.zip was not created by an old version of Stowaway. It "
              "is not possible to retrieve Crate data from old versions. This operation cannot "
              "continue.");
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Verified! Reading Crate info...");

    // No archiver at all: the listing stays empty.
    rig.script->failStart = true;
    ImportCrate(a, "C:\\Saves\\Docs.zip");
    EXPECT_EQ(rig.ui.messages.size(), 3u);
    EXPECT_EQ(a.FrmMain.LstCrate.count(), 1);
    EXPECT_EQ(a.store.CrateMax, 0);
}

TEST_F(Import, PathsWithBlanksAreQuotedAndAQuoteOrARunningJobStopsIt) {
    App& a = *rig.app;
    ImportCrate(a, "C:\\My Saves\\Docs.zip");
    EXPECT_NE(rig.read("C:\\Backup\\SWTemp.bat").find(" -view=brief \"C:\\My Saves\\Docs.zip\" > "),
              std::string::npos);
    EXPECT_EQ(a.FrmMain.LstCrate.count(), 2);

    ImportCrate(a, "C:\\Say \"Hi\".zip");
    EXPECT_EQ(rig.ui.messages.size(), 1u);
    {
        JobGuard other(a.jobContext());
        EXPECT_FALSE(ReadArchiveHeader(a.jobContext(), "C:\\Saves\\Docs.zip"));
        EXPECT_EQ(a.FrmMain.StBMain.panelText(), JobRunningText);
    }
    EXPECT_EQ(rig.script->started.size(), 1u);
}

}  // namespace
}  // namespace stowaway
