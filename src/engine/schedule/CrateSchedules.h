#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/schedule/Scheduler.h"
#include "store/settings/Schedule.h"

namespace stowaway {

class Platform;

// What changing a Crate's schedule works with: the settings file that records it
// and the scheduler that runs it.
struct ScheduleContext {
    const Platform& platform;
    Scheduler& scheduler;
    std::string settingsPath;
    std::string program;  // the program the scheduler runs: <program folder>/stowaway
};

class Settings;

// Records the schedule in the settings and hands it to the scheduler, both or
// neither: when the scheduler refuses, the settings are put back. alsoChange
// makes further changes to the Crate's settings in the same write.
bool SetCrateScheduleEverywhere(const ScheduleContext& ctx, const std::string& crate,
                                const Schedule& schedule, std::string& error,
                                const std::function<void(Settings&)>& alsoChange = {});
// A renamed Crate keeps its schedule (and its other settings) under the new name.
bool RenameCrateSchedule(const ScheduleContext& ctx, const std::string& from, const std::string& to,
                         std::string& error);
// A deleted Crate's schedule and settings go with it.
bool DeleteCrateSchedule(const ScheduleContext& ctx, const std::string& crate, std::string& error);

// Schedules whose program is not there any more: the program folder moved. Those
// of another copy of the program that is still there are left alone.
std::vector<InstalledSchedule> MovedSchedules(const ScheduleContext& ctx, std::string& error);
// Points each of them at this program, keeping its recorded schedule. Returns
// how many were fixed; error names those that could not be.
int FixMovedSchedules(const ScheduleContext& ctx, std::string& error);

}  // namespace stowaway
