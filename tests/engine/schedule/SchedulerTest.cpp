#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/schedule/CrateSchedules.h"
#include "engine/schedule/CronScheduler.h"
#include "engine/schedule/ScheduleFakes.h"
#include "engine/schedule/SchedulerChoice.h"
#include "engine/schedule/SystemdScheduler.h"
#include "engine/schedule/SystemdUnits.h"
#include "platform/NativePlatform.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::MemoryCrontab;
using test::ReadFile;
using test::RecordingActivation;
using test::TempDir;
using test::WriteFile;

namespace fs = std::filesystem;

// A program folder with its settings file and a private unit folder.
struct Rig {
    TempDir dir;
    NativePlatform platform;
    RecordingActivation activation;
    MemoryCrontab crontab;
    std::string units = dir / "config/systemd/user";
    std::string program = dir / "prog/stowaway";
    SystemdScheduler systemd{platform, activation, units};
    CronScheduler cron{crontab};

    Rig() {
        fs::create_directories(toPath(dir / "prog"));
        WriteFile(program, "#!/bin/sh\n");
    }
    ScheduleContext context(Scheduler& scheduler) {
        return ScheduleContext{platform, scheduler, dir / "prog/Stowaway.ini", program};
    }
    std::string unit(const std::string& crate, const std::string& suffix) {
        return units + "/" + UnitBaseName(crate) + suffix;
    }
    std::vector<std::string> unitFiles() {
        std::vector<std::string> names;
        if (fs::exists(toPath(units)))
            for (const auto& entry : fs::directory_iterator(toPath(units)))
                names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string settings() {
        return fs::exists(toPath(dir / "prog/Stowaway.ini")) ? ReadFile(dir / "prog/Stowaway.ini")
                                                             : "";
    }
};

TEST(SystemdSchedule, AppliesChangesAndRemovesAPairOfUnitsPerCrate) {
    Rig rig;
    const ScheduleContext ctx = rig.context(rig.systemd);
    std::string error;
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "My Docs", DailyAt(2, 30), error)) << error;
    const std::string timer = UnitBaseName("My Docs") + ".timer";
    EXPECT_EQ(rig.activation.calls, std::vector<std::string>{"enable " + timer});
    EXPECT_NE(ReadFile(rig.unit("My Docs", ".timer"))
                  .find("OnCalendar=*-*-* 02:30:00\n"
                        "Persistent=true\n"),
              std::string::npos);
    EXPECT_NE(ReadFile(rig.unit("My Docs", ".service"))
                  .find("ExecStart=\"" + rig.program + "\" \"-abu\" \"My Docs\"\n"),
              std::string::npos);
    EXPECT_EQ(rig.settings(), "[crate \"My Docs\"]\nschedule = daily 02:30\n");

    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "my docs", EveryHours(6), error)) << error;
    EXPECT_NE(ReadFile(rig.unit("My Docs", ".timer")).find("OnCalendar=*-*-* 00/6:00:00\n"),
              std::string::npos);
    EXPECT_EQ(rig.unitFiles().size(), 2u);

    rig.activation.calls.clear();
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "My Docs", Schedule{}, error)) << error;
    EXPECT_EQ(rig.activation.calls,
              (std::vector<std::string>{"disable " + timer, "daemon-reload"}));
    EXPECT_TRUE(rig.unitFiles().empty());
    EXPECT_EQ(rig.settings(), "");
}

TEST(SystemdSchedule, AManagerThatRefusesLeavesUnitsAndSettingsAsTheyWere) {
    Rig rig;
    const ScheduleContext ctx = rig.context(rig.systemd);
    std::string error;
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "Docs", DailyAt(2, 30), error));
    const std::string timerBefore = ReadFile(rig.unit("Docs", ".timer"));
    const std::string settingsBefore = rig.settings();
    rig.activation.failEnable = true;
    EXPECT_FALSE(SetCrateScheduleEverywhere(ctx, "Docs", EveryHours(1), error));
    EXPECT_EQ(error,
              "systemd did not take the schedule, so the units are as they were: \"systemctl "
              "--user enable --now\" failed with exit status 1");
    EXPECT_EQ(ReadFile(rig.unit("Docs", ".timer")), timerBefore);
    EXPECT_EQ(rig.settings(), settingsBefore);
    // A new Crate's units are not left behind either.
    EXPECT_FALSE(SetCrateScheduleEverywhere(ctx, "Mail", EveryHours(1), error));
    EXPECT_EQ(rig.unitFiles().size(), 2u);
    EXPECT_EQ(CrateSchedule(LoadSettings(rig.platform, ctx.settingsPath).settings, "Mail").kind,
              ScheduleKind::Off);
}

TEST(SystemdSchedule, AReadOnlyConfigFolderChangesNothing) {
    Rig rig;
    const ScheduleContext ctx = rig.context(rig.systemd);
    fs::create_directories(toPath(rig.dir / "config"));
    test::LetEveryoneIn(rig.dir.path());
    ::chmod((rig.dir / "config").c_str(), 0555);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        std::string error;
        const bool done = SetCrateScheduleEverywhere(ctx, "Docs", DailyAt(2, 30), error);
        return !done &&
               error == "The folder " + rig.units +
                            " for the user's systemd units could not be created (is its parent "
                            "read-only?).";
    }));
    ::chmod((rig.dir / "config").c_str(), 0755);
    EXPECT_TRUE(rig.unitFiles().empty());
    EXPECT_EQ(rig.settings(), "");
    EXPECT_TRUE(rig.activation.calls.empty());

    // The unit folder itself read-only: no file half-written.
    fs::create_directories(toPath(rig.units));
    test::LetEveryoneIn(rig.dir.path());
    ::chmod(rig.units.c_str(), 0555);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        std::string error;
        const bool done = SetCrateScheduleEverywhere(ctx, "Docs", DailyAt(2, 30), error);
        return !done && error.find("could not be written to " + rig.units) != std::string::npos;
    }));
    ::chmod(rig.units.c_str(), 0755);
    EXPECT_TRUE(rig.unitFiles().empty());
    EXPECT_EQ(rig.settings(), "");
}

TEST(SystemdSchedule, AProgramPathSystemdCannotRunIsRefused) {
    Rig rig;
    std::string error;
    EXPECT_FALSE(rig.systemd.apply("Docs", DailyAt(1, 0), "/opt/it's/stowaway", error));
    EXPECT_EQ(error,
              "systemd cannot run the program /opt/it's/stowaway: its path holds a quote, a "
              "backslash or a control character. Move the program's folder, or use cron "
              "(STOWAWAY_SCHEDULER=cron).");
    EXPECT_TRUE(rig.unitFiles().empty());
    EXPECT_TRUE(rig.activation.calls.empty());
}

TEST(SystemdSchedule, AMovedProgramFolderIsFoundAndFixed) {
    Rig rig;
    const ScheduleContext old = rig.context(rig.systemd);
    std::string error;
    ASSERT_TRUE(SetCrateScheduleEverywhere(old, "Docs", DailyAt(2, 30), error));
    ASSERT_TRUE(SetCrateScheduleEverywhere(old, "Mail", EveryHours(3), error));
    // Another copy of the program that still exists keeps its own schedule.
    WriteFile(rig.dir / "other-stowaway", "");
    ASSERT_TRUE(rig.systemd.apply("Elsewhere", DailyAt(1, 0), rig.dir / "other-stowaway", error));
    // The folder moves, settings and all.
    fs::rename(toPath(rig.dir / "prog"), toPath(rig.dir / "moved"));
    const ScheduleContext moved{rig.platform, rig.systemd, rig.dir / "moved/Stowaway.ini",
                                rig.dir / "moved/stowaway"};
    std::vector<InstalledSchedule> stale = MovedSchedules(moved, error);
    ASSERT_EQ(stale.size(), 2u);
    std::sort(stale.begin(), stale.end(),
              [](const auto& a, const auto& b) { return a.crate < b.crate; });
    EXPECT_EQ(stale[0].crate, "Docs");
    EXPECT_EQ(stale[0].program, rig.program);
    EXPECT_EQ(stale[1].when, "*-*-* 00/3:00:00");
    EXPECT_EQ(FixMovedSchedules(moved, error), 2) << error;
    EXPECT_TRUE(MovedSchedules(moved, error).empty());
    EXPECT_NE(ReadFile(rig.unit("Docs", ".service")).find(rig.dir / "moved/stowaway"),
              std::string::npos);
    EXPECT_NE(ReadFile(rig.unit("Elsewhere", ".service")).find(rig.dir / "other-stowaway"),
              std::string::npos);
}

TEST(CronSchedule, KeepsItsLinesInItsBlockAndTheUsersLinesAsTheyAre) {
    Rig rig;
    const ScheduleContext ctx = rig.context(rig.cron);
    rig.crontab.table = "MAILTO=me\n0 5 * * * my-own-job\n";
    std::string error;
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "Docs", DailyAt(2, 30), error)) << error;
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "100% 'Mail'", WeekdaysAt(0b1001, 9, 0), error));
    const std::string q = "'" + rig.program + "'";
    EXPECT_EQ(rig.crontab.table,
              "MAILTO=me\n0 5 * * * my-own-job\n" + std::string(CronBeginMarker) + "\n30 2 * * * " +
                  q + " -abu 'Docs'\n0 9 * * 1,4 " + q + " -abu '100\\% '\\''Mail'\\'''\n" +
                  std::string(CronEndMarker) + "\n");
    ASSERT_TRUE(RenameCrateSchedule(ctx, "docs", "Papers", error)) << error;
    ASSERT_TRUE(DeleteCrateSchedule(ctx, "100% 'MAIL'", error)) << error;
    EXPECT_EQ(rig.crontab.table, "MAILTO=me\n0 5 * * * my-own-job\n" +
                                     std::string(CronBeginMarker) + "\n30 2 * * * " + q +
                                     " -abu 'Papers'\n" + std::string(CronEndMarker) + "\n");
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "Papers", Schedule{}, error));
    EXPECT_EQ(rig.crontab.table, "MAILTO=me\n0 5 * * * my-own-job\n");
    EXPECT_EQ(rig.settings(), "");
}

TEST(CronSchedule, AFailingCrontabCommandChangesNothing) {
    Rig rig;
    const ScheduleContext ctx = rig.context(rig.cron);
    std::string error;
    ASSERT_TRUE(SetCrateScheduleEverywhere(ctx, "Docs", DailyAt(2, 30), error));
    const std::string table = rig.crontab.table;
    const std::string settings = rig.settings();

    rig.crontab.failWrite = true;
    EXPECT_FALSE(SetCrateScheduleEverywhere(ctx, "Docs", EveryHours(2), error));
    EXPECT_EQ(error,
              "The crontab could not be written, so it is as it was: \"crontab -\" failed with "
              "exit status 1: bad minute");
    EXPECT_FALSE(RenameCrateSchedule(ctx, "Docs", "Papers", error));
    EXPECT_EQ(rig.crontab.table, table);
    EXPECT_EQ(rig.settings(), settings);

    rig.crontab.failWrite = false;
    rig.crontab.failRead = true;
    EXPECT_FALSE(SetCrateScheduleEverywhere(ctx, "Docs", EveryHours(2), error));
    EXPECT_EQ(error, "The crontab could not be read: \"crontab -l\" failed with exit status 1");
    EXPECT_EQ(rig.settings(), settings);

    // A block whose end line someone deleted: nothing below it may be lost.
    rig.crontab.failRead = false;
    rig.crontab.table = std::string(CronBeginMarker) + "\n30 2 * * * x\nmy line\n";
    EXPECT_FALSE(SetCrateScheduleEverywhere(ctx, "Docs", EveryHours(2), error));
    EXPECT_NE(error.find("without the line \"" + std::string(CronEndMarker)), std::string::npos);
    EXPECT_EQ(rig.crontab.writes, 1);

    // A name with a line break has no crontab line.
    rig.crontab.table.clear();
    EXPECT_FALSE(SetCrateScheduleEverywhere(ctx, "two\nlines", EveryHours(2), error));
    EXPECT_NE(error.find("contains a line break"), std::string::npos);
    EXPECT_EQ(rig.settings(), settings);
}

TEST(SchedulerChoice, ForcedByTheEnvironmentElseSystemdWhenTheManagerAnswers) {
    NativePlatform platform;
    RecordingActivation activation;
    MemoryCrontab crontab;
    const auto pick = [&](std::optional<std::string> forced, bool answers) {
        activation.answers = answers;
        SchedulerChoice choice(platform, SchedulerHooks{&activation, &crontab, "/nowhere", forced});
        std::string error;
        Scheduler* scheduler = choice.scheduler(error);
        return scheduler ? scheduler->name() : error;
    };
    EXPECT_EQ(pick("", true), "systemd");
    EXPECT_EQ(pick("", false), "cron");
    EXPECT_EQ(pick("systemd", false), "systemd");
    EXPECT_EQ(pick("CRON", true), "cron");
    EXPECT_EQ(pick("anacron", true),
              "STOWAWAY_SCHEDULER is \"anacron\"; it may be systemd or cron (or unset).");
}

}  // namespace
}  // namespace stowaway
