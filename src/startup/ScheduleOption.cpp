#include "startup/ScheduleOption.h"

#include "engine/schedule/Calendar.h"
#include "engine/schedule/CrateSchedules.h"
#include "startup/App.h"
#include "startup/CrateLookup.h"
#include "store/settings/SettingsFile.h"
#include "ui/schedule/ScheduleRows.h"

namespace stowaway {

namespace {

void NoteMoved(App& app, Scheduler& scheduler, std::ostream& out) {
    std::string error;
    const std::vector<InstalledSchedule> moved =
        MovedSchedules(app.scheduleContext(scheduler), error);
    if (moved.empty()) return;
    out << "Note: " << moved.size() << (moved.size() == 1 ? " schedule runs " : " schedules run ")
        << "a program that is not there any more (" << moved.front().program
        << "); stowaway --fix-schedules points them at this one.\n";
}

}  // namespace

int RunScheduleOption(App& app, const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err) {
    if (arguments.size() < 3) {
        err << "stowaway: --schedule needs a Crate's name and when to run it, such as\n"
               "  stowaway --schedule \"My Documents\" \"daily 02:30\"\n";
        return ScheduleBadUsage;
    }
    std::string when;
    for (std::size_t i = 2; i < arguments.size(); ++i) when += (i > 2 ? " " : "") + arguments[i];
    const ScheduleParse parse = ParseSchedule(when);
    if (!parse.schedule) {
        err << "stowaway: " << parse.error << "\n";
        return ScheduleBadUsage;
    }
    const short slot = LoadAndFindCrate(app, arguments[1]);
    if (slot < 0) {
        err << "stowaway: there is no Crate named \"" << arguments[1] << "\" in "
            << app.DataFilePath << "\n";
        return ScheduleFailed;
    }
    const std::string crate = app.store.CrateTable[static_cast<std::size_t>(slot)].Name;
    // Lines of the settings file that are not understood are kept; say so.
    const SettingsLoad settings = LoadSettings(app.platform, app.settingsPath());
    if (!settings.problems.empty() && !settings.unreadable)
        err << "stowaway: " << SettingsProblemText(app.settingsPath(), settings.problems) << "\n";
    std::string error;
    Scheduler* scheduler = app.schedulerChoice().scheduler(error);
    if (!scheduler) {
        err << "stowaway: " << error << "\n";
        return ScheduleFailed;
    }
    if (!SetCrateScheduleEverywhere(app.scheduleContext(*scheduler), crate, *parse.schedule,
                                    error)) {
        err << "stowaway: the schedule of " << crate << " was not changed: " << error << "\n";
        return ScheduleFailed;
    }
    if (parse.schedule->kind == ScheduleKind::Off) {
        out << crate << ": off (" << scheduler->name() << ")\n";
    } else {
        out << crate << ": " << FormatSchedule(*parse.schedule) << " (" << scheduler->name()
            << "), next run " << ScheduleTimeText(NextRun(*parse.schedule, app.platform.now()))
            << "\n";
        if (!scheduler->catchesUp())
            out << "Note: cron does not catch up; a run missed while the computer is off or "
                   "asleep is skipped.\n";
    }
    NoteMoved(app, *scheduler, out);
    return ScheduleOk;
}

int RunFixSchedulesOption(App& app, std::ostream& out, std::ostream& err) {
    std::string error;
    Scheduler* scheduler = app.schedulerChoice().scheduler(error);
    if (!scheduler) {
        err << "stowaway: " << error << "\n";
        return ScheduleFailed;
    }
    const int fixed = FixMovedSchedules(app.scheduleContext(*scheduler), error);
    out << fixed << (fixed == 1 ? " schedule runs " : " schedules run ")
        << app.style().join(app.ProgramFolder, "stowaway") << " now.\n";
    if (!error.empty()) {
        err << "stowaway: " << error << "\n";
        return ScheduleFailed;
    }
    return ScheduleOk;
}

}  // namespace stowaway
