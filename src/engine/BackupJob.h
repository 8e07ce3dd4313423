#pragma once

namespace stowaway {

struct JobContext;

// A backup of the selected Crate in three steps, so that the user interface can
// store its window into the Crate after the first and hand the prepared line to
// the argument dialog after the second.
// Clears the job and says "Initalizing...".
void BeginBackup(const JobContext& ctx);
// Work files, header, command, list file and tail of the selected Crate, then
// "Starting...". False, after saying why, when nothing may run.
bool PrepareBackup(const JobContext& ctx);
// Runs the prepared line and says "Backup Complete" or the error text.
bool RunPreparedBackup(const JobContext& ctx);

// The whole backup with the job slot held and the busy pointer shown (the
// automated mode): true when it ran and reported success.
bool RunBackup(const JobContext& ctx);
// Deletes the archive at the selected Crate's backup location after confirmation.
void DeletePreviousBackup(const JobContext& ctx);

inline constexpr const char* BackupErrorText =
    "There was an Error in the Backup. See the Log for information or the PkZip Output Log for "
    "more details.";

}  // namespace stowaway
