// A restore with "Overwrite Older Files" cleared and the output hidden, through
// the real interpreter and archiver: a file changed since the backup is kept,
// the restore still completes, and the run log counts what was kept.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "EngineRig.h"
#include "engine/RestoreJob.h"
#include "platform/PosixPlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "support/TestPlatforms.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

class RestoreKeptNewer : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string built = STOWAWAY_PROGRAM_DIR;
        for (const char* tool : {"PKZIP25.EXE", "stowaway-cmd"})
            if (!fs::exists(built + "/" + tool)) GTEST_SKIP() << tool << " is not built yet";
        program = dir / "Program Files";
        fs::create_directories(program);
        for (const char* tool : {"PKZIP25.EXE", "stowaway-cmd"})
            fs::copy_file(built + "/" + tool, program + "/" + tool);
        data = dir / "data";
        test::WriteFile(data + "/kept.txt", "as backed up");
        test::WriteFile(data + "/restored.txt", "as backed up");
        fs::create_directories(dir / "out");
        test::WriteFile(program + "/Stowaway.dat",
                        "\"MAX=0\"\r\n\"LOGPATH=" + program +
                            "/Log.txt\"\r\n\"LOGVIEW=x\"\r\n\"SNAME=Docs\"\r\n\"SBLOC=" +
                            (dir / "out/Docs.zip") + "\"\r\n\"SRLOC=" + target +
                            "\"\r\n\"SCOMP=6\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n"
                            "\"SFOLDMAX=1\"\r\n\"SFILEMAX=0\"\r\n\"SFOLD=R+ Exclude: " +
                            data + "/*.tmp\"\r\n");
        platform = std::make_unique<PosixPlatform>(program);
    }

    App& fresh() {
        ui = std::make_unique<test::FakeUi>();
        app = std::make_unique<App>(*platform, *ui);
        app->DataFilePath = platform->style().join(program, "Stowaway.dat");
        LoadDataFile(*app);
        return *app;
    }

    App& restore(CheckBox::Value overwriteOlder) {
        App& a = fresh();
        a.FrmMain.LstCrate.setListIndex(0);
        a.store.CurrentIndex = 0;
        ShowCurrentCrate(a);
        a.FrmMain.TxtRestoreLocation.setText(target);
        a.FrmMain.ChkOverwriteOlder.setValue(overwriteOlder);
        RestoreCrate(a);
        return a;
    }

    std::vector<std::string> log() const {
        return test::Lines(test::ReadFile(program + "/Log.txt"));
    }

    test::TempDir dir;
    std::string program, data;
    std::string target = dir / "back";
    std::unique_ptr<PosixPlatform> platform;
    std::unique_ptr<test::FakeUi> ui;
    std::unique_ptr<App> app;
};

TEST_F(RestoreKeptNewer, ANewerFileIsKeptTheRestoreCompletesAndTheLogCountsIt) {
    App& b = fresh();
    b.AbuCrateName = "Docs";
    ASSERT_EQ(RunAutomatedBackup(b), 0) << test::ReadFile(program + "/SWTemp.dat");

    App& first = restore(CheckBox::Unchecked);
    ASSERT_EQ(first.FrmMain.StBMain.panelText(), "Restore Complete");
    // Changed after the backup, in the restored copy and in the source alike.
    const std::string kept = target + data + "/kept.txt";
    const std::string replaced = target + data + "/restored.txt";
    test::WriteFile(kept, "changed since");
    fs::last_write_time(kept, fs::last_write_time(data + "/kept.txt") + std::chrono::hours(1));
    test::WriteFile(replaced, "older");
    fs::last_write_time(replaced,
                        fs::last_write_time(data + "/restored.txt") - std::chrono::hours(1));
    fs::remove(program + "/Log.txt");

    App& a = restore(CheckBox::Unchecked);
    // The batch line is the one described: -extract=all.
    EXPECT_NE(a.job.ArchiverCommand.find(" -extract=all "), std::string::npos);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Complete");
    EXPECT_EQ(test::ReadFile(kept), "changed since");
    EXPECT_EQ(test::ReadFile(replaced), "as backed up");
    EXPECT_EQ(a.job.FilesDone, 1);
    const std::vector<std::string> l = log();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], "Stowaway v2.0 - Restore");
    EXPECT_EQ(l[1].rfind("    Started on: ", 0), 0u);
    EXPECT_EQ(l[2], "    Number of newer files Kept: 1");
    EXPECT_NE(l[3].find(" - Number of files Restored: 1"), std::string::npos);

    // Overwrite Older Files: -extract=update keeps the newer file silently, as before.
    fs::remove(program + "/Log.txt");
    App& u = restore(CheckBox::Checked);
    EXPECT_EQ(u.FrmMain.StBMain.panelText(), "Restore Complete");
    EXPECT_EQ(test::ReadFile(kept), "changed since");
    EXPECT_EQ(log().size(), 3u);
}

}  // namespace
}  // namespace stowaway
