// The engine with the real archiver and interpreter, copied into a temporary
// program folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

#include "EngineRig.h"
#include "engine/RestoreJob.h"
#include "platform/NativePlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "store/ArchiveHeader.h"
#include "store/DataFile.h"
#include "store/Import.h"
#include "support/ProgramFolder.h"
#include "support/RecordingNotifier.h"
#include "support/TestPlatforms.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

std::uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

// The archive's entry names and comment, read from its central directory.
struct Archive {
    std::set<std::string> names;
    std::string comment;
};

Archive ReadArchive(const std::string& path) {
    const std::string b = test::ReadFile(path);
    Archive out;
    std::size_t end = b.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos || end + 22 > b.size()) return out;
    out.comment = b.substr(end + 22, U16(b, end + 20));
    for (std::size_t at = b.find(std::string("PK\x01\x02", 4)); at != std::string::npos && at < end;
         at = b.find(std::string("PK\x01\x02", 4), at + 46))
        out.names.insert(b.substr(at + 46, U16(b, at + 28)));
    return out;
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        program = dir / "Program Files";
        fs::create_directories(program);
        if (!test::CopyBuiltTools(program)) GTEST_SKIP() << "the archiver is not built yet";
        data = dir / "data";
        test::WriteFile(data + "/Letters/Dear Ann.txt", "Dear Ann,\nall well.\n");
        test::WriteFile(data + "/Letters/old/1999.txt", std::string(5000, 'x'));
        test::WriteFile(data + "/scratch.tmp", "temporary");
        test::WriteFile(data + "/.cache", "hidden");
        test::WriteFile(dir / "etc/app.cfg", "setting=1\n");
        archive = dir / "out/Docs.zip";
        fs::create_directories(toPath(dir / "out"));
        platform = std::make_unique<NativePlatform>(program);
        writeDataFile(0);
    }

    void writeDataFile(int updateOnly, int multiDisk = 0) {
        test::WriteOneCrateDataFile(program, {.archive = archive,
                                              .restore = dir / "back",
                                              .level = 9,
                                              .updateOnly = updateOnly,
                                              .multiDisk = multiDisk,
                                              .folders = {"R+ Exclude: " + data + "/*.tmp"},
                                              .files = {dir / "etc/app.cfg"}});
    }

    // A fresh program run, as a new process would make it.
    App& fresh() {
        ui = std::make_unique<test::FakeUi>();
        app = std::make_unique<App>(*platform, *ui);
        app->notifier = std::make_unique<test::RecordingNotifier>();
        app->DataFilePath = platform->style().join(program, "Stowaway.dat");
        return *app;
    }

    // The first Crate of the data file restored into `target` by a fresh program.
    App& restoreInto(const std::string& target,
                     CheckBox::Value overwriteOlder = CheckBox::Checked) {
        App& a = fresh();
        LoadDataFile(a);
        a.FrmMain.LstCrate.setListIndex(0);
        a.store.CurrentIndex = 0;
        ShowCurrentCrate(a);
        fs::create_directories(toPath(target));
        a.FrmMain.TxtRestoreLocation.setText(target);
        a.FrmMain.ChkOverwriteOlder.setValue(overwriteOlder);
        RestoreCrate(a);
        return a;
    }

    // A fresh program without a data file imports the archive as its only Crate.
    App& importAlone() {
        App& b = fresh();
        fs::remove(toPath(program + "/Stowaway.dat"));
        LoadDataFile(b);
        ImportCrate(b, archive);
        EXPECT_EQ(b.FrmMain.StBMain.panelText(), "Added Crate Data Successfully");
        return b;
    }

    int automated(const std::string& name) {
        App& a = fresh();
        a.AbuCrateName = name;
        return RunAutomatedBackup(a);
    }

    // The same under a file-size limit of `bytes` (FAT32's, say), which the
    // archiver inherits from this process.
    int automatedWithFileLimit(const std::string& name, rlim_t bytes) {
        struct rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int status = automated(name);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, oldHandler);
        return status;
    }

    std::string output() const { return test::ReadFile(program + "/SWTemp.dat"); }

    test::TempDir dir;
    std::string program, data, archive;
    std::unique_ptr<NativePlatform> platform;
    std::unique_ptr<test::FakeUi> ui;
    std::unique_ptr<App> app;
};

std::string Relative(const std::string& path) {
    return path.substr(1);
}

TEST_F(EndToEnd, AnAutomatedBackupStoresExactlyTheSelectionWithTheHeader) {
    ASSERT_EQ(automated("docs"), 0) << output();
    Archive zip = ReadArchive(archive);
    EXPECT_EQ(zip.names, (std::set<std::string>{Relative(data + "/Letters/Dear Ann.txt"),
                                                Relative(data + "/Letters/old/1999.txt"),
                                                Relative(dir / "etc/app.cfg")}));
    EXPECT_EQ(zip.comment, FormatArchiveHeader(app->store.CrateTable[0]));
    EXPECT_EQ(app->job.FilesToDo, 3);
    EXPECT_EQ(app->job.FilesDone, 3);
    std::vector<std::string> log = test::Lines(test::ReadFile(program + "/Log.txt"));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "Stowaway v2.0 - Automated Backup");
    EXPECT_EQ(log[2], "    Crate: Docs - Archive: " + archive);
    EXPECT_NE(log[3].find("Number of files Backed up: 3"), std::string::npos);

    // Update only: a second run stores just the file that changed.
    test::WriteFile(data + "/Letters/Dear Ann.txt", "Dear Ann,\nall changed.\n");
    fs::last_write_time(toPath(data + "/Letters/Dear Ann.txt"),
                        fs::file_time_type::clock::now() + std::chrono::seconds(30));
    writeDataFile(1);
    ASSERT_EQ(automated("Docs"), 0) << output();
    EXPECT_EQ(app->job.FilesDone, 1) << output();
    EXPECT_NE(output().find("Dear Ann.txt"), std::string::npos);
    EXPECT_EQ(ReadArchive(archive).names.size(), 3u);

    // A Crate whose archive cannot be written fails with status 1 and an error line.
    archive = dir / "no such folder/Docs.zip";
    writeDataFile(0);
    EXPECT_EQ(automated("docs"), 1);
    log = test::Lines(test::ReadFile(program + "/Log.txt"));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("    Error: ", 0) == 0; }));
}

// "Overwrite Older Files" cleared: the batch line is the described -extract=all,
// yet a copy newer than the archive's is kept, the restore completes and the log
// counts what was kept; ticked, -extract=update keeps it silently as before.
TEST_F(EndToEnd, ARestoreKeepsANewerFileAndTheLogCountsIt) {
    ASSERT_EQ(automated("docs"), 0) << output();
    const std::string target = dir / "fresh restore";
    App& first = restoreInto(target);
    ASSERT_EQ(first.FrmMain.StBMain.panelText(), "Restore Complete") << output();
    EXPECT_EQ(first.job.FilesDone, 3);
    for (const std::string& file :
         {data + "/Letters/Dear Ann.txt", data + "/Letters/old/1999.txt", dir / "etc/app.cfg"})
        EXPECT_EQ(test::ReadFile(target + file), test::ReadFile(file)) << file;
    const std::string kept = target + data + "/Letters/Dear Ann.txt";
    const std::string replaced = target + data + "/Letters/old/1999.txt";
    test::WriteFile(kept, "changed since");
    fs::last_write_time(
        toPath(kept), fs::last_write_time(data + "/Letters/Dear Ann.txt") + std::chrono::hours(1));
    test::WriteFile(replaced, "older");
    fs::last_write_time(toPath(replaced), fs::last_write_time(data + "/Letters/old/1999.txt") -
                                              std::chrono::hours(1));
    fs::remove(toPath(program + "/Log.txt"));

    App& a = restoreInto(target, CheckBox::Unchecked);
    EXPECT_NE(a.job.ArchiverCommand.find(" -extract=all "), std::string::npos);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Complete") << output();
    EXPECT_EQ(test::ReadFile(kept), "changed since");
    EXPECT_EQ(test::ReadFile(replaced), test::ReadFile(data + "/Letters/old/1999.txt"));
    EXPECT_EQ(a.job.FilesDone, 2);
    std::vector<std::string> l = test::Lines(test::ReadFile(program + "/Log.txt"));
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[0], "Stowaway v2.0 - Restore");
    EXPECT_EQ(l[1].rfind("    Started on: ", 0), 0u);
    EXPECT_EQ(l[3], "    Number of newer files Kept: 1");
    EXPECT_NE(l[4].find(" - Number of files Restored: 2"), std::string::npos) << l[4];

    fs::remove(toPath(program + "/Log.txt"));
    EXPECT_EQ(restoreInto(target, CheckBox::Checked).FrmMain.StBMain.panelText(),
              "Restore Complete");
    EXPECT_EQ(test::ReadFile(kept), "changed since");
    EXPECT_EQ(test::Lines(test::ReadFile(program + "/Log.txt")).size(), 4u);
}

std::string Noise(unsigned seed, std::size_t n) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// A multi-disk Crate backed up past a file-size limit (FAT32's, here this
// process's, which the archiver inherits): the archive goes on in volumes and
// the Crate restores from them.
TEST_F(EndToEnd, AnAutomatedBackupOfAMultiDiskCratePastAFileSizeLimitMakesASet) {
    const std::string noise = Noise(3, 300000);
    test::WriteFile(data + "/Letters/scan.bin", noise);
    writeDataFile(0, 1);

    const int status = automatedWithFileLimit("docs", 100000);
    ASSERT_EQ(status, 0) << output();
    EXPECT_EQ(app->job.FilesDone, 4) << output();
    for (const char* volume : {"out/Docs.z01", "out/Docs.z02", "out/Docs.zip"}) {
        ASSERT_TRUE(fs::exists(toPath(dir / volume))) << volume;
        EXPECT_LE(fs::file_size(toPath(dir / volume)), 100000u);
    }

    const std::string target = dir / "from the set";
    App& a = restoreInto(target);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Complete") << output();
    EXPECT_EQ(test::ReadFile(target + data + "/Letters/scan.bin"), noise);

    // The Crate comes back from the header in the set's last volume.
    App& b = importAlone();
    ASSERT_EQ(b.store.CrateMax, 0);
    const CrateRecord& c = b.store.CrateTable[0];
    EXPECT_EQ(c.Name, "Docs");
    EXPECT_EQ(c.BackupLocation, archive);
    EXPECT_EQ(c.Compression, 9);
    EXPECT_EQ(c.MultiDisk, 1);
    EXPECT_EQ(CrateRecord::Entry(c.Folders, 0), "R+ Exclude: " + data + "/*.tmp");
    EXPECT_EQ(CrateRecord::Entry(c.Files, 0), dir / "etc/app.cfg");
}

// Nobody can swap media in the automated mode: a full medium fails the run
// with the error status and says why in the log.
TEST_F(EndToEnd, AFullMediumEndsAnAutomatedMultiDiskBackupWithAnError) {
    test::WriteFile(data + "/Letters/scan.bin", Noise(4, 300000));
    writeDataFile(0, 1);
    ::setenv("PKZIP_TEST_MEDIUM_BYTES", "100000", 1);
    const int status = automated("docs");
    ::unsetenv("PKZIP_TEST_MEDIUM_BYTES");
    EXPECT_EQ(status, 1);
    const std::string log = test::ReadFile(program + "/Log.txt");
    const std::vector<std::string> lines = test::Lines(log);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("    Error: ", 0) == 0 && l.find("the medium is full") != std::string::npos;
    })) << log;
    EXPECT_FALSE(fs::exists(toPath(archive)));
    EXPECT_FALSE(fs::exists(toPath(dir / "out/Docs.z01")));
}

// A disk that fills while the new archive is written: the old archive stays as it
// was and the log counts nothing as backed up, though each file said "done.".
TEST_F(EndToEnd, ABackupThatCouldNotReplaceTheOldArchiveCountsNothing) {
    ASSERT_EQ(automated("docs"), 0) << output();
    const std::string before = test::ReadFile(archive);
    test::WriteFile(data + "/Letters/scan.bin", Noise(5, 300000));

    const int status = automatedWithFileLimit("docs", 100000);

    EXPECT_EQ(status, 1);
    EXPECT_EQ(test::ReadFile(archive), before);
    EXPECT_EQ(app->job.FilesDone, 0);
    const std::vector<std::string> lines = test::Lines(test::ReadFile(program + "/Log.txt"));
    ASSERT_GE(lines.size(), 2u);
    // The end line, then the failure's alert.
    EXPECT_NE(lines.end()[-2].find(" - Number of files Backed up: 0"), std::string::npos)
        << lines.end()[-2];
    EXPECT_NE(test::ReadFile(program + "/SWTemp.dat").find("done."), std::string::npos);
}

TEST_F(EndToEnd, AnInfoZipArchiveWithAValidHeaderImports) {
    if (std::system("command -v zip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no zip";
    CrateRecord c;
    c.Name = "From Zip";
    c.BackupLocation = dir / "other.zip";
    c.RestoreLocation = dir / "back";
    c.Compression = 3;
    c.FolderMax = 1;
    CrateRecord::SetEntry(c.Folders, 0, "R- " + data + "/*.*");
    c.FileMax = 0;
    test::WriteFile(dir / "header.txt", FormatArchiveHeader(c));
    const std::string zip = dir / "other.zip";
    std::string command =
        "cd '" + data + "' && zip -q -z '" + zip + "' scratch.tmp < '" + (dir / "header.txt") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    App& a = fresh();
    LoadDataFile(a);
    ImportCrate(a, zip);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Added Crate Data Successfully");
    ASSERT_EQ(a.store.CurrentIndex, 1);  // after the Crate of the data file
    const CrateRecord& added = a.store.CrateTable[1];
    EXPECT_EQ(added.Name, "From Zip");
    EXPECT_EQ(added.Compression, 3);
    EXPECT_EQ(CrateRecord::Entry(added.Folders, 0), "R- " + data + "/*.*");
    EXPECT_TRUE(ui->messages.empty());
}

}  // namespace
}  // namespace stowaway
