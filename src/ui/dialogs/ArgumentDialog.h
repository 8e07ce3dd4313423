#pragma once

namespace stowaway {

class App;

// Opens (or refills) the argument-editing dialog with the prepared archiver line.
void ShowArgumentEditor(App& app);
// "&Backup": runs the line in the box; "&Cancel": abandons it; closing unloads it.
void ArgumentBackupClick(App& app);
void ArgumentCancelClick(App& app);
void UnloadArgumentEditor(App& app);

}  // namespace stowaway
