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

// The choice between systemd and cron is made where the schedules are applied.
std::string SchedulerInUse(App& app) {
    (void)app;
    return "none";
}

}  // namespace stowaway
