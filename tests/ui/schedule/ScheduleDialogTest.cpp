#include <gtest/gtest.h>

#include <filesystem>

#include "engine/schedule/ScheduleFakes.h"
#include "engine/schedule/SystemdUnits.h"
#include "platform/NativeText.h"
#include "store/RunStateFile.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"
#include "support/SystemSupport.h"
#include "ui/main/StartedProgram.h"
#include "ui/schedule/ScheduleCommands.h"

namespace stowaway {
namespace {

using test::MemoryCrontab;
using test::ReadFile;
using test::RecordingActivation;
using test::StartedProgram;
using test::WriteFile;

namespace fs = std::filesystem;

// A started program whose schedulers are private: units in a folder of the
// test, systemd's manager and the crontab recorded.
struct ScheduleRig {
    explicit ScheduleRig(std::initializer_list<std::string> crates, std::string forced = "systemd")
        : s(crates, false) {
        s.app.schedulerHooks = SchedulerHooks{&activation, &crontab, units, forced};
    }
    StartedProgram s;
    RecordingActivation activation;
    MemoryCrontab crontab;
    std::string units = s.p.dir / "config/systemd/user";
    ScheduleForm& d = s.app.FrmSchedule;

    std::string settings() {
        const std::string path = s.app.settingsPath();
        return fs::exists(toPath(path)) ? ReadFile(path) : "";
    }
    bool hasUnits(const std::string& crate) {
        return fs::exists(toPath(units + "/" + UnitBaseName(crate) + ".timer"));
    }
    void choose(const std::string& crate) {
        for (std::size_t i = 0; i < d.crates.size(); ++i)
            if (d.crates[i] == crate) d.TblSchedules.select(static_cast<int>(i));
    }
    std::vector<std::string> cells(int row) {
        return d.TblSchedules.rows().at(static_cast<std::size_t>(row)).cells;
    }
    void record(const std::string& crate, RunResult result, std::time_t ended,
                std::optional<std::time_t> good, const std::string& error = {}) {
        const RunStateSave saved =
            UpdateRunState(s.app.platform, RunStatePath(s.app.platform, s.app.ProgramFolder),
                           [&](RunStateTable& table) {
                               CrateRunState& state = table.entry(crate);
                               state.firstRun = good ? *good : ended;
                               state.started = ended - 60;
                               state.ended = ended;
                               state.result = result;
                               state.error = error;
                               state.lastGood = good;
                           });
        ASSERT_TRUE(saved.saved) << saved.problem;
    }
};

TEST(ScheduleDialog, ToolsMenuStandsBeforeHelpWithScheduleFirst) {
    ScheduleRig r({"Docs"});
    const auto menus = r.s.f.menus();
    ASSERT_EQ(menus.size(), 5u);
    EXPECT_EQ(menus[2].title->caption(), "&Advanced");
    EXPECT_EQ(menus[3].title->caption(), "&Tools");
    ASSERT_EQ(menus[3].items.size(), 3u);
    EXPECT_EQ(menus[3].items[0]->caption(), "&Schedule...");
    EXPECT_EQ(menus[3].items[1]->caption(), "&Browse and Restore Files...");
    EXPECT_EQ(menus[3].items[2]->caption(), "&Encryption...");
    EXPECT_EQ(menus[4].title->caption(), "&Help");
    r.s.f.MnuToolsSchedule.click();
    EXPECT_TRUE(r.d.visible());
}

TEST(ScheduleDialog, ListsEveryCrateWithItsScheduleAndLastRuns) {
    ScheduleRig r({"Docs", "Mail", "Photos"});
    const std::time_t now = r.s.app.platform.now();
    Settings settings;
    SetCrateSchedule(settings, "docs", DailyAt(2, 30));
    SetCrateSchedule(settings, "Mail", WeekdaysAt(0b1001, 9, 0));
    SetCrateOverdueDays(settings, "Mail", 3);
    std::string error;
    ASSERT_TRUE(SaveSettings(r.s.app.platform, r.s.app.settingsPath(), settings, error));
    r.record("Docs", RunResult::Ok, now - 3600, now - 3600);
    r.record("Mail", RunResult::Failed, now - 600, now - 5 * 86400, "PKZIP: can't find C:\\Mail");
    r.s.f.MnuToolsSchedule.click();

    ASSERT_EQ(r.d.crates, (std::vector<std::string>{"Docs", "Mail", "Photos"}));
    EXPECT_EQ(r.cells(0)[0], "Docs");
    EXPECT_EQ(r.cells(0)[1], "daily 02:30");
    EXPECT_EQ(r.cells(0)[2].substr(11), "02:30");
    EXPECT_EQ(r.cells(0)[4], "ok");
    EXPECT_EQ(r.cells(0)[6], "no");
    EXPECT_FALSE(r.d.TblSchedules.rows()[0].attention);
    EXPECT_EQ(r.cells(1)[1], "mon,thu 09:00");
    EXPECT_EQ(r.cells(1)[4], "failed: PKZIP: can't find C:\\Mail");
    EXPECT_EQ(r.cells(1)[6], "OVERDUE");
    EXPECT_TRUE(r.d.TblSchedules.rows()[1].attention);
    EXPECT_EQ(r.cells(2),
              (std::vector<std::string>{"Photos", "off", "-", "-", "never ran", "-", "no"}));
    // The first Crate is chosen and its boxes filled.
    EXPECT_EQ(r.d.TblSchedules.selected(), 0);
    EXPECT_EQ(r.d.TxtWhen.text(), "daily 02:30");
    r.choose("Mail");
    EXPECT_EQ(r.d.TxtOverdueDays.text(), "3");
    EXPECT_EQ(r.d.LblScheduler.caption(),
              "Schedules run through the user's systemd timers: a run the computer missed while "
              "it was off or asleep runs as soon as it is back.");
}

TEST(ScheduleDialog, ApplyAndRemoveChangeUnitsAndSettingsTogether) {
    STOWAWAY_NEEDS(Systemd);
    ScheduleRig r({"Docs"});
    r.s.f.MnuToolsSchedule.click();
    r.d.TxtWhen.setText("Mon, Thu 9:05");
    r.d.TxtOverdueDays.setText("2");
    r.d.CmdApply.click();
    EXPECT_EQ(r.d.LblMessage.caption(), "Docs is scheduled: mon,thu 09:05.");
    EXPECT_TRUE(r.hasUnits("Docs"));
    EXPECT_EQ(r.settings(), "[crate \"Docs\"]\nschedule = mon,thu 09:05\noverdue_days = 2\n");
    EXPECT_EQ(r.cells(0)[1], "mon,thu 09:05");
    EXPECT_TRUE(r.s.p.ui.messages.empty());

    r.d.CmdRemove.click();
    EXPECT_EQ(r.d.LblMessage.caption(), "Docs runs by itself no more.");
    EXPECT_FALSE(r.hasUnits("Docs"));
    EXPECT_EQ(r.settings(), "[crate \"Docs\"]\noverdue_days = 2\n");
    EXPECT_EQ(r.cells(0)[1], "off");
}

TEST(ScheduleDialog, BadInputIsSaidAndChangesNothing) {
    STOWAWAY_NEEDS(Systemd);
    ScheduleRig r({"Docs"});
    r.s.f.MnuToolsSchedule.click();
    const struct {
        const char* when;
        const char* days;
        std::string message;
    } cases[] = {
        {"daily 25:00", "7",
         "The schedule of Docs was not changed: there is no time 25:00 in a day (hours 00 to 23, "
         "minutes 00 to 59)."},
        {", 09:00", "7",
         "The schedule of Docs was not changed: no weekday is given; name at least one, such as "
         "\"mon,thu 09:00\"."},
        {"daily 02:30", "-1",
         "The schedule of Docs was not changed: the overdue days \"-1\" are not a whole number "
         "from 0 to 3650."},
    };
    for (const auto& c : cases) {
        r.d.TxtWhen.setText(c.when);
        r.d.TxtOverdueDays.setText(c.days);
        r.d.CmdApply.click();
        EXPECT_EQ(r.d.LblMessage.caption(), c.message);
        ASSERT_FALSE(r.s.p.ui.messages.empty());
        EXPECT_EQ(r.s.p.ui.messages.back().text, c.message);
    }
    EXPECT_FALSE(r.hasUnits("Docs"));
    EXPECT_EQ(r.settings(), "");
    EXPECT_TRUE(r.activation.calls.empty());

    // The manager refuses: the message says so, and nothing stays half-done.
    r.activation.failEnable = true;
    r.d.TxtWhen.setText("every 2h");
    r.d.TxtOverdueDays.setText("7");
    r.d.CmdApply.click();
    EXPECT_EQ(
        r.d.LblMessage.caption(),
        "The schedule of Docs was not changed: systemd did not take the schedule, so the "
        "units are as they were: \"systemctl --user enable --now\" failed with exit status 1");
    EXPECT_FALSE(r.hasUnits("Docs"));
    EXPECT_EQ(r.settings(), "");
}

TEST(ScheduleDialog, CronSaysMissedRunsAreNotCaughtUp) {
    STOWAWAY_NEEDS(Systemd);
    ScheduleRig r({"Docs"}, "");
    r.activation.answers = false;
    r.s.f.MnuToolsSchedule.click();
    EXPECT_EQ(r.d.LblScheduler.caption(),
              "Schedules run through cron (no systemd user manager answered). Cron does not catch "
              "up: a run missed while the computer was off or asleep is skipped.");
    r.d.TxtWhen.setText("every 6h");
    r.d.CmdApply.click();
    EXPECT_NE(
        r.crontab.table.find("0 */6 * * * '" + r.s.app.ProgramFolder + "/stowaway' -abu 'Docs'\n"),
        std::string::npos);
}

TEST(ScheduleDialog, TheWindowsRenameAndDeleteTakeTheScheduleAlong) {
    STOWAWAY_NEEDS(Systemd);
    ScheduleRig r({"Docs", "Mail"});
    r.s.f.MnuToolsSchedule.click();
    r.choose("Docs");
    r.d.TxtWhen.setText("daily 01:00");
    r.d.CmdApply.click();
    ASSERT_TRUE(r.hasUnits("Docs"));

    r.s.f.LstCrate.setListIndex(0);
    r.s.f.TxtAddCrate.setText("Papers 100%");
    r.s.f.CmdRenameCrate.click();
    EXPECT_FALSE(r.hasUnits("Docs"));
    EXPECT_TRUE(r.hasUnits("Papers 100%"));
    EXPECT_EQ(r.settings(), "[crate \"Papers 100%\"]\nschedule = daily 01:00\n");

    r.s.p.ui.answers.push_back(MsgResult::OK);
    r.s.f.LstCrate.setListIndex(0);
    r.s.f.CmdDeleteCrate.click();
    EXPECT_FALSE(r.hasUnits("Papers 100%"));
    EXPECT_EQ(r.settings(), "");

    // A Crate that never had a schedule asks nothing of the schedulers.
    r.activation.calls.clear();
    r.s.f.LstCrate.setListIndex(0);
    r.s.f.TxtAddCrate.setText("Letters");
    r.s.f.CmdRenameCrate.click();
    EXPECT_EQ(r.s.f.LstCrate.items(), std::vector<std::string>{"Letters"});
    EXPECT_TRUE(r.activation.calls.empty());
}

// Destroying all the Crate data takes every schedule with it.
TEST(ScheduleDialog, ClearingTheCrateDataRemovesEverySchedule) {
    STOWAWAY_NEEDS(Systemd);
    ScheduleRig r({"Docs", "Mail"});
    r.s.f.MnuToolsSchedule.click();
    for (const char* crate : {"Docs", "Mail"}) {
        r.choose(crate);
        r.d.TxtWhen.setText("daily 01:00");
        r.d.CmdApply.click();
        ASSERT_TRUE(r.hasUnits(crate));
    }
    r.s.p.ui.answers.push_back(MsgResult::OK);
    r.s.f.MnuAdvancedKillHDData.click();
    EXPECT_TRUE(r.s.f.LstCrate.items().empty());
    EXPECT_FALSE(r.hasUnits("Docs"));
    EXPECT_FALSE(r.hasUnits("Mail"));
    EXPECT_EQ(r.settings(), "");
}

TEST(ScheduleDialog, AMovedProgramFolderIsOfferedAndFixed) {
    STOWAWAY_NEEDS(Systemd);
    ScheduleRig r({"Docs"});
    Settings settings;
    SetCrateSchedule(settings, "Docs", DailyAt(4, 0));
    std::string error;
    ASSERT_TRUE(SaveSettings(r.s.app.platform, r.s.app.settingsPath(), settings, error));
    fs::create_directories(toPath(r.units));
    WriteFile(r.units + "/" + UnitBaseName("Docs") + ".service",
              ServiceUnitText("Docs", "/gone/away/stowaway"));
    WriteFile(r.units + "/" + UnitBaseName("Docs") + ".timer",
              TimerUnitText("Docs", DailyAt(4, 0)));
    r.s.f.MnuToolsSchedule.click();
    EXPECT_TRUE(r.d.CmdFixMoved.visible());
    EXPECT_EQ(r.d.LblMoved.caption(),
              "1 schedule runs a program that is not there any more (/gone/away/stowaway): the "
              "program's folder moved. Fix them to run this one.");
    r.d.CmdFixMoved.click();
    EXPECT_FALSE(r.d.CmdFixMoved.visible());
    EXPECT_EQ(r.d.LblMessage.caption(), "1 schedule runs this program now.");
    EXPECT_NE(ReadFile(r.units + "/" + UnitBaseName("Docs") + ".service")
                  .find("\"" + r.s.app.ProgramFolder + "/stowaway\""),
              std::string::npos);
}

}  // namespace
}  // namespace stowaway
