#pragma once

namespace stowaway {

class App;

// Backs up the selected Crate into its archive.
void BackupCrate(App& app);
// Deletes the archive at the selected Crate's backup location after confirmation.
void DeletePreviousBackup(App& app);

}  // namespace stowaway
