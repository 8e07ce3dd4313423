#pragma once

#include <string>

namespace stowaway {

class App;

// The main window's and the automated mode's job commands: each builds the job's
// context, does the window work around the engine's steps and calls them.

// Backs up the selected Crate: stores the shown Crate first (interactive mode) and
// hands the prepared line to the argument dialog when argument editing is on.
void BackupCrate(App& app);
// The same, telling whether the backup ran and reported success (the automated
// mode's exit status). A hand-over to the argument dialog counts as success.
bool BackupSelectedCrate(App& app);
// Stores the shown Crate, then extracts its archive into the window's restore
// location.
void RestoreCrate(App& app);
// Deletes the archive at the selected Crate's backup location after confirmation.
void DeletePreviousBackup(App& app);
// Re-creates a Crate from an archive that a backup made, adds it to the Crate list
// and shows it.
void ImportCrate(App& app, const std::string& path);
// Open the run log / the last captured archiver output in the text viewer.
void ViewLog(App& app);
void ViewArchiverOutput(App& app);

}  // namespace stowaway
