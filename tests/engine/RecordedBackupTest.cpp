#include "engine/RecordedBackup.h"

#include <gtest/gtest.h>

#include "EngineRig.h"
#include "engine/Alerts.h"
#include "engine/CrateRunLock.h"
#include "engine/JobGuard.h"
#include "engine/WorkFilesLock.h"
#include "platform/InstanceLock.h"
#include "store/RunStateFile.h"
#include "ui/dialogs/ArgumentDialog.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

using test::Lines;

constexpr std::time_t Day = 24 * 60 * 60;

// A program with one Crate "Nightly" whose scripted archiver fails or succeeds
// as the test says, run in the automated mode unless told otherwise.
class RecordedBackup : public ::testing::Test {
  protected:
    void SetUp() override {
        CrateRecord& c = rig.crate("Nightly");
        c.FileMax = 1;
        CrateRecord::SetEntry(c.Files, 0, "C:\\Data\\a.txt");
        rig.write("C:\\Data\\a.txt", "12345");
        rig.show();  // the window's runs store the window into the Crate first
        rig.script->onStart = [this](const std::string&) {
            if (failNext) {
                rig.emit("PKZIP: (F) disk gone");
                return;
            }
            rig.emit("  Adding: c:\\data\\a.txt ... done.");
            rig.write("C:\\Backup\\SWBackup.zip", std::string(300, 'z'));
        };
    }
    bool run(bool fail, bool automated = true) {
        failNext = fail;
        rig.app->AbuMode = automated;
        clock() += Day;
        return BackupSelectedCrate(*rig.app);
    }
    CrateRunState state(const std::string& name = "Nightly") const {
        const RunStateParse read =
            ReadRunState(*rig.platform, rig.platform->style().join("C:\\Backup", "Stowaway.state"));
        EXPECT_EQ(read.problem, "");
        const CrateRunState* found = read.table.find(name);
        return found ? *found : CrateRunState{};
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const DesktopAlert& alert : rig.notifier->alerts) out.push_back(alert.title);
        return out;
    }
    std::time_t& clock() {
        return static_cast<test::WindowsFlavourPlatform&>(*rig.platform).fixedNow;
    }
    std::vector<std::string> log() const { return Lines(rig.read("C:\\Backup\\Log.txt")); }

    test::Rig rig;
    bool failNext = false;
};

TEST_F(RecordedBackup, EachRunLeavesItsFactsInTheStateFile) {
    const std::time_t first = clock() + Day;
    ASSERT_TRUE(run(false, false));  // the window's run is recorded too
    CrateRunState s = state();
    EXPECT_EQ(s.name, "Nightly");
    EXPECT_EQ(s.result, RunResult::Ok);
    EXPECT_EQ(s.started, first);
    EXPECT_EQ(s.lastGood, first);
    EXPECT_EQ(s.firstRun, first);
    EXPECT_EQ(s.files, 1u);
    EXPECT_EQ(s.bytes, 5u);
    EXPECT_EQ(s.archiveBytes, 300u);
    EXPECT_EQ(s.error, "");

    // A split set counts every volume.
    rig.write("C:\\Backup\\SWBackup.z01", std::string(1000, 'v'));
    rig.write("C:\\Backup\\SWBackup.z02", std::string(1000, 'v'));
    ASSERT_TRUE(run(false, false));
    EXPECT_EQ(state().archiveBytes, 2300u);

    EXPECT_FALSE(run(true));
    s = state();
    EXPECT_EQ(s.result, RunResult::Failed);
    EXPECT_EQ(s.error, "(F) disk gone");
    EXPECT_EQ(s.lastGood, first + Day);
    EXPECT_EQ(s.firstRun, first);
    EXPECT_EQ(s.failureStreak, 1);
}

// One alert per failure streak of automated runs, one when the Crate works
// again, none for runs of the window; the run's own result never changes.
TEST_F(RecordedBackup, AlertsOncePerFailureStreakAndOnceOnRecovery) {
    struct Step {
        bool fail;
        bool automated;
        std::vector<std::string> newTitles;
    };
    const std::string failed = "Stowaway: the backup of Nightly failed";
    const std::string again = "Stowaway: the backup of Nightly works again";
    const Step steps[] = {
        {false, true, {}},      {true, true, {failed}},  {true, true, {}},
        {true, false, {}},      {false, true, {again}},  {false, true, {}},
        {true, false, {}},      {false, true, {}},  // a window's failure was not alerted
        {true, true, {failed}}, {false, false, {again}},
    };
    std::size_t seen = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(run(step.fail, step.automated), !step.fail);
        const std::vector<std::string> all = titles();
        const std::vector<std::string> added(all.begin() + static_cast<long>(seen), all.end());
        EXPECT_EQ(added, step.newTitles) << "after step " << (&step - steps);
        seen = titles().size();
    }
    // The recovery counts the streak it ended; the failure names the error and the log.
    const DesktopAlert& recovery = rig.notifier->alerts[1];
    EXPECT_NE(recovery.body.find("after 3 failed runs"), std::string::npos) << recovery.body;
    const DesktopAlert& failure = rig.notifier->alerts[0];
    EXPECT_TRUE(failure.urgent);
    EXPECT_NE(failure.body.find("(F) disk gone"), std::string::npos);
    EXPECT_NE(failure.body.find("Log: C:\\Backup\\Log.txt"), std::string::npos);
    EXPECT_EQ(log().back(), "    Alert shown on the desktop: " + again);
}

// No notification server: the run log says so, the result stays the run's own,
// and the streak has not had its alert, so the next failure tries again.
TEST_F(RecordedBackup, AnAlertThatCannotBeShownIsLoggedAndTriedAgain) {
    rig.notifier->answer = "no notification server is running on the session bus";
    EXPECT_FALSE(run(true));
    EXPECT_EQ(log().back(),
              "    Alert not shown on the desktop (no notification server is running on the "
              "session bus): Stowaway: the backup of Nightly failed");
    EXPECT_FALSE(state().failureAlerted);
    rig.notifier->answer = "";
    EXPECT_FALSE(run(true));
    EXPECT_EQ(rig.notifier->alerts.size(), 2u);
    EXPECT_TRUE(state().failureAlerted);
    EXPECT_EQ(state().failureStreak, 2);
}

TEST_F(RecordedBackup, AnAutomatedRunAlertsOnceAboutAnotherCrateThatFellBehind) {
    rig.crate("Photos");
    rig.app->store.CurrentIndex = 0;
    const std::string path = rig.platform->style().join("C:\\Backup", "Stowaway.state");
    const std::time_t now = clock();
    ASSERT_TRUE(UpdateRunState(*rig.platform, path, [&](RunStateTable& table) {
                    CrateRunState& photos = table.entry("Photos");
                    photos.firstRun = now - 30 * Day;
                    photos.lastGood = now - 6 * Day;  // 8 days old at the second run
                    photos.result = RunResult::Ok;
                }).saved);
    // Its own threshold beside the data file first: 30 days are not over yet.
    rig.write("C:\\Backup\\Stowaway.ini", "[crate \"photos\"]\noverdue_days = 30\n");
    ASSERT_TRUE(run(false));
    EXPECT_TRUE(titles().empty());
    rig.write("C:\\Backup\\Stowaway.ini", "[crate \"photos\"]\noverdue_days = 7\n");
    ASSERT_TRUE(run(false));
    EXPECT_EQ(titles(), (std::vector<std::string>{"Stowaway: Photos is overdue"}));
    EXPECT_TRUE(state("Photos").overdueAlerted);
    ASSERT_TRUE(run(false));
    EXPECT_EQ(rig.notifier->alerts.size(), 1u);
}

TEST_F(RecordedBackup, ASecondRunOfTheCrateWaitsForTheFirstThenGivesUp) {
    auto held = std::make_unique<InstanceLock>(
        rig.native(CrateLockPath(rig.platform->style(), "C:\\Backup", "  NIGHTLY ")));
    ASSERT_EQ(held->state(), InstanceLock::State::Owned);

    rig.app->RunLockWaitMilliseconds = 0;
    EXPECT_FALSE(run(false));
    EXPECT_TRUE(rig.script->started.empty());
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, RunLockTimeoutText("Nightly", 0));
    EXPECT_EQ(rig.ui.messages[0].text,
              "Another run of the Crate Nightly was still going on after 0 seconds of waiting, so "
              "this backup did not run. Try again when it has finished.");
    EXPECT_EQ(rig.app->FrmABU.StBMain.panelText(), "Backup Not Started");
    EXPECT_NE(RunLockTimeoutText("x", 300000).find("after 5 minutes of"), std::string::npos);

    // The holder finishes while this run waits: it runs then, the window live meanwhile.
    rig.app->RunLockWaitMilliseconds = 60000;
    const int sleepsBefore = rig.script->sleeps;
    int passes = 0;
    rig.ui.onEvents = [&] {
        if (++passes == 3) held.reset();
    };
    EXPECT_TRUE(run(false));
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_EQ(rig.script->sleeps - sleepsBefore, 3);
}

// The work files are one set per program folder: a job of another process (another
// Crate's scheduled run) keeps the window from starting and makes an automated run
// wait its turn, never write them at the same time.
TEST_F(RecordedBackup, AnotherProgramsJobHoldsTheWorkFilesUntilItEnds) {
    auto held =
        std::make_unique<InstanceLock>(rig.native(WorkFilesLockPath(rig.app->jobContext())));
    ASSERT_EQ(held->state(), InstanceLock::State::Owned);

    EXPECT_FALSE(run(false, false));
    EXPECT_TRUE(rig.script->started.empty());
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(rig.app->FrmMain.StBMain.panelText(), JobRunningText);
    rig.app->FrmMain.TxtRestoreLocation.setText("C:\\Back");
    RestoreCrate(*rig.app);
    EXPECT_TRUE(rig.script->started.empty());

    rig.app->WorkLockWaitMilliseconds = 0;
    EXPECT_FALSE(run(false));
    EXPECT_TRUE(rig.script->started.empty());
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, WorkLockTimeoutText(0));
    EXPECT_NE(WorkLockTimeoutText(DefaultWorkLockWaitMilliseconds).find("after 6 hours of"),
              std::string::npos);

    rig.app->WorkLockWaitMilliseconds = 60000;
    const int sleepsBefore = rig.script->sleeps;
    int passes = 0;
    rig.ui.onEvents = [&] {
        if (++passes == 2) held.reset();
    };
    EXPECT_TRUE(run(false));
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_EQ(rig.script->sleeps - sleepsBefore, 2);
}

// A damaged state file never stops a backup: it is kept aside, the log says so
// and a sound file takes its place.
TEST_F(RecordedBackup, ADamagedStateFileIsKeptAsideAndLogged) {
    rig.write("C:\\Backup\\Stowaway.state", "[Nightly]\nfailures=lots\n");
    EXPECT_TRUE(run(false));
    EXPECT_EQ(log().back(),
              "    Note: C:\\Backup\\Stowaway.state was damaged (line 2: the value of failures "
              "cannot be read); it was kept as C:\\Backup\\Stowaway.state.damaged and written "
              "afresh.");
    EXPECT_EQ(rig.read("C:\\Backup\\Stowaway.state.damaged"), "[Nightly]\nfailures=lots\n");
    EXPECT_EQ(state().result, RunResult::Ok);
}

// The argument dialog's run is the backup: recorded when it runs, not when the
// line is handed over.
TEST_F(RecordedBackup, TheArgumentDialogsRunIsRecorded) {
    rig.app->FrmMain.ChkArgumentEditing.setValue(CheckBox::Checked);
    rig.show();
    EXPECT_TRUE(run(false, false));
    EXPECT_EQ(state().result, RunResult::None);
    ArgumentBackupClick(*rig.app);
    EXPECT_EQ(state().result, RunResult::Ok);
}

// The work files the argument dialog's line runs with stay this program's while
// the dialog is open: another process's job cannot rewrite them in between.
TEST_F(RecordedBackup, TheArgumentDialogHoldsItsWorkFilesUntilItLetsTheLineGo) {
    const std::string lockPath = rig.native(WorkFilesLockPath(rig.app->jobContext()));
    rig.app->FrmMain.ChkArgumentEditing.setValue(CheckBox::Checked);
    rig.show();
    EXPECT_TRUE(run(false, false));
    EXPECT_EQ(InstanceLock(lockPath).state(), InstanceLock::State::HeldElsewhere);
    ArgumentBackupClick(*rig.app);
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_EQ(InstanceLock(lockPath).state(), InstanceLock::State::HeldElsewhere);
    rig.app->FrmArgument.CmdCancelBackup.click();
    EXPECT_EQ(InstanceLock(lockPath).state(), InstanceLock::State::Owned);
}

}  // namespace
}  // namespace stowaway
