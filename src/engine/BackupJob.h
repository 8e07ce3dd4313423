#pragma once

namespace stowaway {

class App;

// Backs up the selected Crate into its archive.
void BackupCrate(App& app);
// The same, telling whether the backup ran and reported success (the automated
// mode's exit status). A hand-over to the argument dialog counts as success.
bool BackupSelectedCrate(App& app);
// Deletes the archive at the selected Crate's backup location after confirmation.
void DeletePreviousBackup(App& app);

inline constexpr const char* BackupErrorText =
    "There was an Error in the Backup. See the Log for information or the PkZip Output Log for "
    "more details.";

}  // namespace stowaway
