#include "store/DataFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "store/DamagedCopy.h"
#include "store/ItemReader.h"
#include "support/TestPlatforms.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/Commands.h"
#include "ui/main/DataFileCommands.h"

namespace stowaway {
namespace {

using test::ReadFile;
using test::TestProgram;
using test::WriteFile;

const char* const WorkedExample =
    "\"MAX=1\"\r\n"
    "\"LOGPATH=C:\\Backup\\Log.txt\"\r\n"
    "\"LOGVIEW=C:\\WINDOWS\\Notepad.exe\"\r\n"
    "\"SNAME=Documents\"\r\n"
    "\"SBLOC=C:\\Backup\\SWBackup.zip\"\r\n"
    "\"SRLOC=C:\\Backup\"\r\n"
    "\"SCOMP=5\"\r\n"
    "\"SUPDATE=0\"\r\n"
    "\"SMULTI=0\"\r\n"
    "\"SFOLDMAX=2\"\r\n"
    "\"SFILEMAX=1\"\r\n"
    "\"SFOLD=R+ C:\\My Documents\\*.*\"\r\n"
    "\"SFOLD=R- Include: C:\\Work\\*.doc\"\r\n"
    "\"SFILE=C:\\AUTOEXEC.BAT\"\r\n"
    "\"SNAME=Mail\"\r\n"
    "\"SBLOC=A:\\Mail.zip\"\r\n"
    "\"SRLOC=C:\\Restored\"\r\n"
    "\"SCOMP=9\"\r\n"
    "\"SUPDATE=1\"\r\n"
    "\"SMULTI=1\"\r\n"
    "\"SFOLDMAX=0\"\r\n"
    "\"SFILEMAX=0\"\r\n";

// A Windows-flavour program in C:\Backup whose data file holds the given bytes.
struct Loaded : TestProgram {
    explicit Loaded(const std::string& bytes, bool windows = true) : TestProgram(windows) {
        WriteFile(dataFile(), bytes);
        LoadDataFile(*app);
    }
    std::string dataFile() const { return native(app->DataFilePath); }
    const CrateRecord& slot(int i) const {
        return app->store.CrateTable[static_cast<std::size_t>(i)];
    }
    // The load error as it always read, then where the damaged file was kept.
    void expectLoadError() {
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_TRUE(test::Shows(ui.messages[0], {.text = LoadErrorText,
                                                 .title = "Problem with Stowaway.dat",
                                                 .icon = MsgIcon::Information}));
        EXPECT_TRUE(test::Shows(ui.messages[1],
                                {.text = DamagedCopyText("C:\\Backup\\Stowaway.dat.damaged"),
                                 .title = "Problem with Stowaway.dat",
                                 .icon = MsgIcon::Information}));
        EXPECT_EQ(app->store.CrateMax, -1);
        EXPECT_EQ(app->FrmMain.LstCrate.count(), 0);
        EXPECT_TRUE(slot(0).Name.empty());
    }
};

TEST(DataFile, WorkedExampleLoadsAndSavesByteForByte) {
    Loaded p(WorkedExample);
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_EQ(p.app->store.CrateMax, 1);
    EXPECT_EQ(p.app->store.CurrentIndex, -1);
    EXPECT_EQ(p.app->FrmMain.LstCrate.items(), (std::vector<std::string>{"Documents", "Mail"}));
    const CrateRecord& docs = p.slot(0);
    EXPECT_EQ(docs.BackupLocation, "C:\\Backup\\SWBackup.zip");
    EXPECT_EQ(docs.Compression, 5);
    EXPECT_EQ(docs.FolderMax, 2);
    EXPECT_EQ(docs.Folders[1], "R- Include: C:\\Work\\*.doc");
    EXPECT_EQ(docs.Files[0], "C:\\AUTOEXEC.BAT");
    EXPECT_EQ(p.slot(1).MultiDisk, 1);
    EXPECT_EQ(p.app->FrmMain.TxtLogViewer.text(), "C:\\WINDOWS\\Notepad.exe");
    EXPECT_EQ(p.app->FrmMain.TxtLogPath.text(), "C:\\Backup\\Log.txt");

    std::filesystem::remove(toPath(p.dataFile()));
    SaveDataFile(*p.app);
    EXPECT_EQ(ReadFile(p.dataFile()), WorkedExample);
}

TEST(DataFile, NoDataGivesDefaultsAndCreatesAMissingFile) {
    for (const char* bytes : {"", "\r\n\r\n\r\n", "\"MAX=3\"\r\n"}) {
        Loaded p(bytes);
        EXPECT_TRUE(p.ui.messages.empty()) << bytes;
        EXPECT_EQ(p.app->store.CrateMax, -1);
        EXPECT_EQ(p.app->store.LogPath, "C:\\Backup\\Log.txt");
        EXPECT_EQ(p.app->store.LogViewer, "C:\\WINDOWS\\Notepad.exe");
        EXPECT_EQ(p.app->FrmMain.TxtLogViewer.text(), "C:\\WINDOWS\\Notepad.exe");
    }
    TestProgram missing(true);
    LoadDataFile(*missing.app);
    EXPECT_TRUE(std::filesystem::exists(toPath(missing.native(missing.app->DataFilePath))));
    EXPECT_TRUE(missing.ui.messages.empty());
}

TEST(DataFile, MissingValuesTakeTheirDefaults) {
    Loaded p(
        "\"MAX=0\"\r\n\"LOGPATH=\"\r\n\"LOGVIEW=\"\r\n\"SNAME=Old\"\r\n\"SCOMP=-1\"\r\n"
        "\"SUPDATE=-1\"\r\n\"SMULTI=-1\"\r\n\"SFOLDMAX=2\"\r\n\"SFOLD=C:\\Data\\*.*\"\r\n"
        "\"SFOLD=R- C:\\Keep\\*.*\"\r\n");
    const CrateRecord& r = p.slot(0);
    EXPECT_EQ(r.Name, "Old");
    EXPECT_EQ(r.BackupLocation, "C:\\Backup\\SWBackup.zip");
    EXPECT_EQ(r.RestoreLocation, "C:\\Backup");
    EXPECT_EQ(r.Compression, 6);
    EXPECT_EQ(r.UpdateOnly, 0);
    EXPECT_EQ(r.MultiDisk, 0);
    EXPECT_EQ(r.FileMax, -1);  // missing: no entries
    EXPECT_EQ(r.Folders[0], "R+ C:\\Data\\*.*");
    EXPECT_EQ(r.Folders[1], "R- C:\\Keep\\*.*");
    EXPECT_EQ(p.app->store.LogPath, "C:\\Backup\\Log.txt");
    EXPECT_EQ(p.app->store.LogViewer, "C:\\WINDOWS\\Notepad.exe");
}

TEST(DataFile, MaxCountingADeletedCrateStillLoads) {
    Loaded p(
        "\"MAX=2\"\r\n\"LOGPATH=C:\\Backup\\Log.txt\"\r\n\"LOGVIEW=v\"\r\n"
        "\"SNAME=A\"\r\n\"SBLOC=a.zip\"\r\n\"SRLOC=r\"\r\n\"SCOMP=1\"\r\n\"SUPDATE=0\"\r\n"
        "\"SMULTI=0\"\r\n\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n"
        "\"SNAME=B\"\r\n\"SBLOC=b.zip\"\r\n\"SRLOC=r\"\r\n\"SCOMP=1\"\r\n\"SUPDATE=0\"\r\n"
        "\"SMULTI=0\"\r\n\"SFOLDMAX=0\"\r\n\"SFILEMAX=1\"\r\n\"SFILE=C:\\b.txt\"\r\n");
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_EQ(p.app->store.CrateMax, 1);
    EXPECT_EQ(p.app->FrmMain.LstCrate.items(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(p.slot(1).Files[0], "C:\\b.txt");
    EXPECT_TRUE(p.slot(2).Name.empty());
}

TEST(DataFile, UpperCaseTxtLogPathIsReplacedByTheDefault) {
    Loaded p("\"MAX=-1\"\r\n\"LOGPATH=C:\\LOG.TXT\"\r\n\"LOGVIEW=v\"\r\n");
    EXPECT_EQ(p.app->store.LogPath, "C:\\LOG.TXT");  // the load keeps what the file says
    SaveDataFile(*p.app);                            // the save's check replaces it
    EXPECT_EQ(p.app->FrmMain.TxtLogPath.text(), "C:\\Backup\\Log.txt");
    LoadDataFile(*p.app);  // and so does the next load's
    EXPECT_EQ(p.app->store.LogPath, "C:\\Backup\\Log.txt");
}

TEST(DataFile, ReadsTheEarlierPositionalFormat) {
    Loaded p(
        "0\r\nC:\\Old\\log.txt\r\nC:\\view.exe\r\nOld\r\nA:\\Old.zip\r\n6\r\n1\r\n2\r\n0\r\n"
        "C:\\Data\\*\r\nC:\\Docs\\*.doc\r\n");
    EXPECT_TRUE(p.ui.messages.empty());
    const CrateRecord& r = p.slot(0);
    EXPECT_EQ(r.Name, "Old");
    EXPECT_EQ(r.BackupLocation, "A:\\Old.zip");
    EXPECT_EQ(r.RestoreLocation, "");
    EXPECT_EQ(r.MultiDisk, 0);
    EXPECT_EQ(r.UpdateOnly, 1);
    EXPECT_EQ(r.Folders[0], "R+ C:\\Data\\*");
    EXPECT_EQ(r.Folders[1], "R+ Include: C:\\Docs\\*.doc");
    EXPECT_EQ(p.app->store.LogViewer, "C:\\view.exe");
}

TEST(DataFile, PositionalFileWithoutViewerFallsBack) {
    Loaded p("-1\r\nC:\\Old\\log.txt\r\n\r\n");
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_EQ(p.app->store.LogViewer, "C:\\Windows\\Notepad.exe");
    Loaded posix("-1\r\n/var/log.txt\r\n\r\n", false);
    EXPECT_EQ(posix.app->store.LogViewer, "/usr/bin/xdg-open");
}

TEST(DataFile, DamagedFilesGiveTheLoadErrorAndAnEmptyTable) {
    std::string many =
        "\"MAX=0\"\r\n\"LOGPATH=x.txt\"\r\n\"LOGVIEW=v\"\r\n\"SNAME=Big\"\r\n\"SFOLDMAX=4098\"\r\n";
    for (int i = 0; i < 4098; ++i) many += "\"SFOLD=R+ C:\\f" + std::to_string(i) + "\\*.*\"\r\n";
    const std::string cases[] = {
        "hello\r\nworld\r\n",  // neither key nor number
        "\"MAX=1\"\r\n\"LOGPATH=x.txt\"\r\n\"LOGVIEW=v\"\r\n\"SNAME=A\"\r\n\"SCOMP=abc\"\r\n",
        "\"MAX=513\"\r\n\"LOGPATH=x.txt\"\r\n\"LOGVIEW=v\"\r\n",  // beyond the table
        "\"MAX=40000\"\r\n\"LOGPATH=x.txt\"\r\n",                 // not 16-bit
        many,                                                     // more than 4097 entries
        "0\r\nlog.txt\r\nviewer\r\nOld\r\nA:\\Old.zip\r\n6\r\n",  // positional, ends early
    };
    for (const std::string& bytes : cases) {
        Loaded p(bytes);
        SCOPED_TRACE(bytes.substr(0, 40));
        p.expectLoadError();
        EXPECT_EQ(p.app->FrmMain.TxtLogPath.text(), "C:\\Backup\\Log.txt");
        EXPECT_EQ(ReadFile(p.dataFile()), bytes);  // untouched until the next save
        EXPECT_EQ(ReadFile(p.dataFile() + ".damaged"), bytes);
    }
}

// The save at exit replaces a file that did not load; its bytes are kept first,
// under a new number when an older copy is there, and never over anything.
TEST(DataFile, ADamagedFileIsKeptBeforeTheSaveReplacesIt) {
    const std::string bytes = "\"MAX=513\"\r\n\"LOGPATH=x.txt\"\r\n";
    Loaded p(bytes);
    p.expectLoadError();
    SaveDataFile(*p.app);
    EXPECT_NE(ReadFile(p.dataFile()), bytes);
    EXPECT_EQ(ReadFile(p.dataFile() + ".damaged"), bytes);

    // Damaged again; the first copy stays, the second gets the next number. A
    // dangling link at a number is something there too: nothing is written through it.
    WriteFile(p.dataFile(), "hello\r\n" + bytes);
    std::filesystem::create_symlink(toPath(p.dir / "elsewhere"),
                                    toPath(p.dataFile() + ".damaged.1"));
    p.ui.messages.clear();
    LoadDataFile(*p.app);
    ASSERT_EQ(p.ui.messages.size(), 2u);
    EXPECT_EQ(p.ui.messages[1].text, DamagedCopyText("C:\\Backup\\Stowaway.dat.damaged.2"));
    EXPECT_EQ(ReadFile(p.dataFile() + ".damaged"), bytes);
    EXPECT_EQ(ReadFile(p.dataFile() + ".damaged.2"), "hello\r\n" + bytes);
    EXPECT_FALSE(std::filesystem::exists(toPath(p.dir / "elsewhere")));

    // No copy can be written (a read-only folder): the load error alone, and no
    // claim of a copy.
    if (::geteuid() == 0) return;  // root writes anyway
    const std::string folder = toPath(p.dataFile()).parent_path();
    ::chmod(folder.c_str(), 0555);
    p.ui.messages.clear();
    LoadDataFile(*p.app);
    ::chmod(folder.c_str(), 0755);
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].text, LoadErrorText);
    EXPECT_FALSE(std::filesystem::exists(toPath(p.dataFile() + ".damaged.3")));
}

// Whatever stands at the data file's place, the load ends: damaged, never an
// abort (a folder), a hang (a FIFO) or memory without end (a link to /dev/zero).
TEST(DataFile, WhatIsNoRegularFileOrHoldsAnEndlessItemIsDamage) {
    const std::function<void(const std::string&)> makers[] = {
        [](const std::string& path) { std::filesystem::create_directory(toPath(path)); },
        [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
        [](const std::string& path) {
            std::filesystem::create_symlink(toPath("/dev/zero"), toPath(path));
        },
        [](const std::string& path) {
            WriteFile(path, "\"MAX=0\"\r\n\"LOGPATH=" +
                                std::string(ItemReader::MaxItemLength + 1, 'x') + "\"\r\n");
        },
    };
    int n = 0;
    for (const auto& make : makers) {
        SCOPED_TRACE(n++);
        TestProgram p(true);
        const std::string data = p.native(p.app->DataFilePath);
        make(data);
        p.app->FrmMain.TxtLogPath.setText("C:\\Backup\\Log.txt");
        LoadDataFile(*p.app);
        // Only what could be read is kept (the endless item's file).
        ASSERT_EQ(p.ui.messages.size(), n == 4 ? 2u : 1u);
        EXPECT_EQ(p.ui.messages[0].text, LoadErrorText);
        EXPECT_EQ(p.app->store.CrateMax, -1);
        EXPECT_EQ(p.app->store.LogPath, "C:\\Backup\\Log.txt");
    }
}

TEST(DataFile, ThroughALinkALoadCreatesNothingAndASaveKeepsTheLink) {
    TestProgram p(false);
    const std::string data = p.native(p.app->DataFilePath);
    const std::string target = p.dir / "kept/Stowaway.dat";
    std::filesystem::create_directory(toPath(p.dir / "kept"));
    std::filesystem::create_symlink(toPath(target), toPath(data));
    LoadDataFile(*p.app);
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(toPath(target)));
    EXPECT_EQ(p.app->store.LogPath, p.app->ProgramFolder + "/Log.txt");
    EXPECT_EQ(p.app->store.LogViewer, "/usr/bin/xdg-open");

    p.app->store.CrateMax = 0;
    for (const char* name : {"First", "Second"}) {
        p.app->store.CrateTable[0].Name = name;
        SaveDataFile(*p.app);
        EXPECT_TRUE(p.ui.messages.empty());
        EXPECT_TRUE(std::filesystem::is_symlink(toPath(data)));
        EXPECT_NE(ReadFile(target).find("\"SNAME=" + std::string(name) + "\""), std::string::npos);
    }
}

TEST(DataFile, ASaveRemovesWhatKilledSavesLeftBehind) {
    TestProgram p(false);
    const std::string data = p.native(p.app->DataFilePath);
    const std::string folder = toPath(data).parent_path();
    for (const char* name : {"Stowaway.dat.tmp-a1B2c3", "Stowaway.dat.tmp-XXXXXX",
                             "Stowaway.dat.tmp-notmine", "Other.dat.tmp-a1B2c3"})
        WriteFile(folder + "/" + name, "partial");
    SaveDataFile(*p.app);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(toPath(folder)))
        left.push_back(fromPath(entry.path().filename()));
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Other.dat.tmp-a1B2c3", "Stowaway.dat",
                                              "Stowaway.dat.tmp-notmine"}));
}

TEST(DataFile, FullTableAndFullListsLoad) {
    std::string bytes = "\"MAX=512\"\r\n\"LOGPATH=x.txt\"\r\n\"LOGVIEW=v\"\r\n";
    for (int s = 0; s <= 512; ++s) {
        bytes += "\"SNAME=C" + std::to_string(s) + "\"\r\n\"SBLOC=/b.zip\"\r\n\"SRLOC=/r\"\r\n" +
                 "\"SCOMP=6\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n\"SFOLDMAX=" +
                 (s == 0 ? "4097" : "0") + "\"\r\n\"SFILEMAX=0\"\r\n";
        if (s == 0)
            for (int j = 0; j < 4097; ++j)
                bytes += "\"SFOLD=R+ /f" + std::to_string(j) + "/*.*\"\r\n";
    }
    Loaded p(bytes, false);
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_EQ(p.app->store.CrateMax, 512);
    EXPECT_EQ(p.slot(0).FolderMax, 4097);
    EXPECT_EQ(p.slot(0).Folders[4096], "R+ /f4096/*.*");
    SaveDataFile(*p.app);
    EXPECT_TRUE(ReadFile(p.dataFile()) == bytes);
}

TEST(DataFile, FailedSaveLeavesTheOldFileIntact) {
    Loaded p(WorkedExample);
    p.app->store.CrateTable[0].Name = "Changed";
    const std::string folder = toPath(p.dataFile()).parent_path();
    // Root writes into any folder, so the save runs as an ordinary user then.
    test::LetEveryoneIn(p.dir.path());
    ::chmod(folder.c_str(), 0555);
    const bool refused = test::RunAsOrdinaryUser([&] {
        SaveDataFile(*p.app);
        return p.ui.messages.size() == 1 && p.ui.messages[0].title == SaveErrorTitle &&
               p.ui.messages[0].icon == MsgIcon::Critical;
    });
    ::chmod(folder.c_str(), 0755);
    EXPECT_TRUE(refused);
    EXPECT_EQ(ReadFile(p.dataFile()), WorkedExample);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(toPath(folder)),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind
}

TEST(DataFile, ReadOnlyDataFileIsRefusedEvenForRoot) {
    Loaded p(WorkedExample);
    ::chmod(p.dataFile().c_str(), 0444);
    p.app->store.CrateTable[0].Name = "Changed";
    SaveDataFile(*p.app);
    EXPECT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(ReadFile(p.dataFile()), WorkedExample);
}

TEST(DataFile, ManualSaveThenSelectStoresIntoTheShownCrate) {
    Loaded p{WorkedExample};
    p.app->store.CrateTable[2] = p.app->store.CrateTable[1];
    p.app->store.CrateTable[2].Name = "Third";
    p.app->FrmMain.LstCrate.addItem("Third");
    p.app->store.CrateMax = 2;
    ConnectMainForm(*p.app);
    p.app->FrmMain.LstCrate.setListIndex(2);
    MnuAdvancedSave(*p.app);
    p.app->FrmMain.TxtBackupLocation.setText("C:\\Elsewhere\\third.zip");
    p.app->FrmMain.LstCrate.setListIndex(0);
    EXPECT_EQ(p.app->store.CrateTable[2].BackupLocation, "C:\\Elsewhere\\third.zip");
    EXPECT_EQ(p.app->store.CrateTable[0].BackupLocation, "C:\\Backup\\SWBackup.zip");
}

TEST(DataFile, ManualLoadDropsWhatWasOnlyInMemory) {
    Loaded p(WorkedExample);
    ConnectMainForm(*p.app);
    p.app->FrmMain.LstCrate.setListIndex(0);
    p.app->store.CrateTable[0].Name = "Renamed";
    MnuAdvancedLoad(*p.app);
    EXPECT_EQ(p.app->store.CrateTable[0].Name, "Documents");
    EXPECT_EQ(p.app->store.CurrentIndex, 0);
    EXPECT_EQ(p.app->FrmMain.LstDir.count(), 2);
}

TEST(DataFile, ClearCrateDataAsksFirst) {
    Loaded p(WorkedExample);
    p.ui.answers = {MsgResult::Cancel};
    ClearCrateData(*p.app);
    EXPECT_EQ(p.app->store.CrateMax, 1);
    EXPECT_EQ(p.ui.messages.back().title, "Crate Data Not Destroyed");

    p.ui.answers = {MsgResult::OK};
    ClearCrateData(*p.app);
    EXPECT_EQ(p.app->store.CrateMax, -1);
    EXPECT_EQ(p.app->FrmMain.LstCrate.count(), 0);
    EXPECT_EQ(ReadFile(p.dataFile()), "");
    EXPECT_EQ(p.ui.messages.back().text, "Crate Data Destroyed");
}

}  // namespace
}  // namespace stowaway
