#pragma once

#include <string>

namespace stowaway {

class App;

// Tools > Schedule...: fills the dialog from the Crates, the settings, the run
// state and the scheduler, and shows it.
void OpenScheduleDialog(App& app);
// Rebuilds the table, keeping the selected Crate.
void RefreshScheduleDialog(App& app);
// Shows the selected Crate's schedule and overdue days in the boxes.
void ShowSelectedSchedule(App& app);
// Apply: the boxes' schedule and overdue days for the selected Crate.
void ApplySelectedSchedule(App& app);
// Remove: the selected Crate runs by itself no more.
void RemoveSelectedSchedule(App& app);
// Points schedules whose program folder moved at this program.
void FixMovedSchedulesCommand(App& app);
void ConnectScheduleForm(App& app);

// The window's rename and delete of a Crate take its schedule along. Crates
// without settings cost nothing; a failure is said and the Crate's change stands.
void FollowCrateRename(App& app, const std::string& from, const std::string& to);
void FollowCrateDelete(App& app, const std::string& crate);

}  // namespace stowaway
