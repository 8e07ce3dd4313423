#pragma once

namespace stowaway {

class App;

// The location boxes are never left empty: "" or ".zip" puts back the default
// archive beside the program, or the program's folder for the restore location.
void BackupLocationDefault(App& app);
void RestoreLocationDefault(App& app);

// When the focus leaves the backup location's Browse button: a location ending in
// a separator and ".zip" names the default archive in that folder, and every
// location ends in ".zip".
void NormaliseBackupLocation(App& app);

}  // namespace stowaway
