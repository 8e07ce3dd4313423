#include "startup/ScheduleView.h"

#include "engine/schedule/Calendar.h"
#include "startup/App.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

ScheduleView ScheduleOf(App& app, const std::string& crateName) {
    const SettingsLoad load =
        LoadSettings(app.platform, SettingsPath(app.style(), app.ProgramFolder));
    const Schedule schedule = CrateSchedule(load.settings, crateName);
    ScheduleView view;
    view.schedule = FormatSchedule(schedule);
    if (const auto next = NextRun(schedule, app.platform.now()))
        view.nextRun = app.platform.shortDate(*next) + " " + app.platform.longTime(*next);
    return view;
}

std::string SchedulerInUse(App& app) {
    std::string error;
    if (Scheduler* scheduler = app.schedulerChoice().scheduler(error)) return scheduler->name();
    return "none (" + error + ")";
}

}  // namespace stowaway
