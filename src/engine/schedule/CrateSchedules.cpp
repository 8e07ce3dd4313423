#include "engine/schedule/CrateSchedules.h"

#include "platform/Platform.h"
#include "platform/Text.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

namespace {

// The settings as they are on disk, refusing a file that could not be read,
// which saving over would lose.
bool Load(const ScheduleContext& ctx, Settings& settings, std::string& error) {
    SettingsLoad load = LoadSettings(ctx.platform, ctx.settingsPath);
    if (load.unreadable) {
        error = SettingsProblemText(ctx.settingsPath, load.problems);
        return false;
    }
    settings = std::move(load.settings);
    return true;
}

// Names that match without case are one Crate to the schedulers.
bool UnitsDiffer(const std::string& a, const std::string& b) {
    return !EqualsIgnoreCase(Trim(a), Trim(b));
}

}  // namespace

bool SetCrateScheduleEverywhere(const ScheduleContext& ctx, const std::string& crate,
                                const Schedule& schedule, std::string& error,
                                const std::function<void(Settings&)>& alsoChange) {
    Settings settings;
    if (!Load(ctx, settings, error)) return false;
    const Settings before = settings;
    SetCrateSchedule(settings, crate, schedule);
    if (alsoChange) alsoChange(settings);
    if (!SaveSettings(ctx.platform, ctx.settingsPath, settings, error)) return false;
    if (ctx.scheduler.apply(crate, schedule, ctx.program, error)) return true;
    std::string ignored;
    SaveSettings(ctx.platform, ctx.settingsPath, before, ignored);
    return false;
}

bool RenameCrateSchedule(const ScheduleContext& ctx, const std::string& from, const std::string& to,
                         std::string& error) {
    Settings settings;
    if (!Load(ctx, settings, error)) return false;
    const Schedule schedule = CrateSchedule(settings, from);
    if (settings.crateNames().empty() && schedule.kind == ScheduleKind::Off) return true;
    const Settings before = settings;
    settings.renameCrate(from, to);
    if (!SaveSettings(ctx.platform, ctx.settingsPath, settings, error)) return false;
    if (schedule.kind == ScheduleKind::Off) return true;
    // The new units first, so that a failure leaves the old ones running.
    if (!ctx.scheduler.apply(to, schedule, ctx.program, error)) {
        std::string ignored;
        SaveSettings(ctx.platform, ctx.settingsPath, before, ignored);
        return false;
    }
    if (UnitsDiffer(from, to) && !ctx.scheduler.apply(from, Schedule{}, ctx.program, error)) {
        std::string ignored;
        ctx.scheduler.apply(to, Schedule{}, ctx.program, ignored);
        SaveSettings(ctx.platform, ctx.settingsPath, before, ignored);
        return false;
    }
    return true;
}

bool DeleteCrateSchedule(const ScheduleContext& ctx, const std::string& crate, std::string& error) {
    Settings settings;
    if (!Load(ctx, settings, error)) return false;
    if (!ctx.scheduler.apply(crate, Schedule{}, ctx.program, error)) return false;
    const std::vector<std::string> names = settings.crateNames();
    settings.removeCrate(crate);
    if (settings.crateNames() == names) return true;
    return SaveSettings(ctx.platform, ctx.settingsPath, settings, error);
}

std::vector<InstalledSchedule> MovedSchedules(const ScheduleContext& ctx, std::string& error) {
    std::vector<InstalledSchedule> installed;
    std::vector<InstalledSchedule> moved;
    if (!ctx.scheduler.installed(installed, error)) return moved;
    for (const InstalledSchedule& schedule : installed)
        if (schedule.program != ctx.program && !ctx.platform.fileExists(schedule.program))
            moved.push_back(schedule);
    return moved;
}

int FixMovedSchedules(const ScheduleContext& ctx, std::string& error) {
    Settings settings;
    if (!Load(ctx, settings, error)) return 0;
    int fixed = 0;
    std::string failed;
    for (const InstalledSchedule& moved : MovedSchedules(ctx, error)) {
        // The recorded schedule counts; without one the Crate is not this folder's.
        const Schedule schedule = CrateSchedule(settings, moved.crate);
        if (schedule.kind == ScheduleKind::Off) continue;
        std::string reason;
        if (ctx.scheduler.apply(moved.crate, schedule, ctx.program, reason))
            ++fixed;
        else
            failed += (failed.empty() ? "" : "\n") + moved.crate + ": " + reason;
    }
    if (!failed.empty()) error = "These schedules could not be fixed:\n" + failed;
    return fixed;
}

}  // namespace stowaway
