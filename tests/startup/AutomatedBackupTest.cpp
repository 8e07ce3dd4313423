#include "startup/AutomatedBackup.h"

#include <gtest/gtest.h>

#include "engine/EngineRig.h"
#include "startup/CommandLine.h"
#include "startup/Program.h"
#include "support/NonAsciiNames.h"

namespace stowaway {
namespace {

class AutomatedBackup : public ::testing::Test {
  protected:
    AutomatedBackup() {
        std::string file = "\"MAX=3\"\r\n\"LOGPATH=C:\\Backup\\Log.txt\"\r\n\"LOGVIEW=v\"\r\n";
        for (const char* crate :
             {"Daily\"\r\n\"SBLOC=D:\\First.zip", "Weekly Docs\"\r\n\"SBLOC=D:\\Weekly.zip",
              "daily\"\r\n\"SBLOC=D:\\Second.zip", "Ärger Öl\"\r\n\"SBLOC=D:\\Ärger.zip"})
            file += std::string("\"SNAME=") + crate +
                    "\"\r\n\"SRLOC=C:\\R\"\r\n\"SCOMP=5\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n"
                    "\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n";
        rig.write("C:\\Backup\\Stowaway.dat", file);
        rig.app->DataFilePath.clear();
    }
    int run(const std::string& name) {
        rig.app->AbuCrateName = name;
        return RunAutomatedBackup(*rig.app);
    }
    test::Rig rig;
};

TEST_F(AutomatedBackup, TheLastMatchingCrateIsBackedUpAndSuccessExitsZero) {
    App& a = *rig.app;
    rig.script->onStart = [&](const std::string&) {};
    EXPECT_EQ(run("daily"), 0);
    EXPECT_EQ(a.DataFilePath, "C:\\Backup\\Stowaway.dat");
    EXPECT_TRUE(a.AbuMode);
    EXPECT_EQ(a.store.CurrentIndex, 2);
    ASSERT_EQ(rig.script->started.size(), 1u);
    EXPECT_NE(a.job.ArchiverCommand.find("\"D:\\Second.zip\""), std::string::npos);
    EXPECT_EQ(a.FrmABU.StBMain.panelText(), "Backup Complete");
    EXPECT_EQ(a.FrmABU.StBMain.panelWidth(), a.FrmABU.place().width - 1);
    EXPECT_EQ(test::Lines(rig.read("C:\\Backup\\Log.txt"))[0], "Stowaway v2.0 - Automated Backup");
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST_F(AutomatedBackup, NamesCompareTrimmedAndWithoutCaseInAnyScript) {
    EXPECT_EQ(run("  weekly docs "), 0);
    EXPECT_EQ(rig.app->store.CurrentIndex, 1);
    App& a = *rig.app;
    // The command line arrives lower-cased, whatever script it is written in.
    ASSERT_EQ(ClassifyCommandLine(a, "-ABU ÄRGER ÖL"), StartMode::Automated);
    EXPECT_EQ(a.AbuCrateName, "ärger öl");
    EXPECT_EQ(RunAutomatedBackup(a), 0);
    EXPECT_EQ(a.store.CurrentIndex, 3);
}

// "-abu NAME" finds a Crate by the shared table's answers on every system. The
// command line comes lower-cased, so to it "İ" is "i".
TEST(AutomatedBackupNames, FindsCratesAsTheSharedTableCompares) {
    for (const test::NamePair& p : test::NonAsciiNamePairs()) {
        SCOPED_TRACE(p.name + " / " + p.other + ": " + p.why);
        test::Rig rig;
        rig.write(
            "C:\\Backup\\Stowaway.dat",
            "\"MAX=1\"\r\n\"LOGPATH=C:\\Backup\\Log.txt\"\r\n\"LOGVIEW=v\"\r\n\"SNAME=" + p.name +
                "\"\r\n\"SBLOC=D:\\Found.zip\"\r\n\"SRLOC=C:\\R\"\r\n\"SCOMP=5\"\r\n"
                "\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n");
        rig.app->DataFilePath.clear();
        rig.script->onStart = [](const std::string&) {};
        App& a = *rig.app;
        ASSERT_EQ(ClassifyCommandLine(a, "-ABU " + p.other), StartMode::Automated);
        const bool found = p.same || p.name.starts_with("İ");
        EXPECT_EQ(RunAutomatedBackup(a), found ? 0 : 1);
        EXPECT_EQ(a.AbuMode, found);
        EXPECT_EQ(rig.script->started.size(), found ? 1u : 0u);
    }
}

TEST_F(AutomatedBackup, AnArchiverErrorExitsOne) {
    rig.script->onStart = [&](const std::string&) { rig.emit("PKZIP: (E) nothing to do"); };
    EXPECT_EQ(run("weekly docs"), 1);
    EXPECT_EQ(rig.app->FrmABU.StBMain.panelText(),
              "There was an Error in the Backup. See the Log for information or the PkZip Output "
              "Log for more details.");
}

TEST_F(AutomatedBackup, AnUnknownCrateIsReportedAndNothingRuns) {
    EXPECT_EQ(run("nothing"), 1);
    EXPECT_FALSE(rig.app->AbuMode);
    EXPECT_TRUE(rig.script->started.empty());
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_TRUE(
        test::Shows(rig.ui.messages[0], {.text = "Stowaway ABU was unable to find the crate titled "
                                                 "\"nothing\". Stowaway ABU cannot continue.",
                                         .title = "Error",
                                         .icon = MsgIcon::Critical}));
    EXPECT_FALSE(rig.platform->fileExists("C:\\Backup\\Log.txt"));

    rig.platform->removeFile("C:\\Backup\\Stowaway.dat");
    EXPECT_EQ(run("daily"), 1);
    EXPECT_EQ(rig.ui.messages.size(), 2u);
}

// A front end whose window is already open in another start of the program.
class WindowElsewhere : public FrontEnd {
  public:
    bool hasDisplay() const override { return true; }
    void prepareMainWindow(App&) override { ++windows; }
    int runMainWindow(App&) override { return 1; }
    void showAbuWindow(App&) override {}
    bool claimInteractive(App&) override {
        ++claims;
        return false;
    }
    int claims = 0, windows = 0;
};

// The guard against a second window leaves the automated mode alone: a nightly
// backup runs while the window is open.
TEST_F(AutomatedBackup, RunsWhileAWindowIsOpenAndASecondWindowEndsAtOnce) {
    WindowElsewhere frontEnd;
    rig.script->onStart = [&](const std::string&) {};
    EXPECT_EQ(RunProgram(*rig.app, "-abu daily", frontEnd), 0);
    EXPECT_EQ(frontEnd.claims, 0);
    EXPECT_EQ(rig.script->started.size(), 1u);

    test::Rig other;
    EXPECT_EQ(RunProgram(*other.app, "", frontEnd), 0);
    EXPECT_EQ(frontEnd.claims, 1);
    EXPECT_EQ(frontEnd.windows, 0);  // no window, no load, no save
}

}  // namespace
}  // namespace stowaway
