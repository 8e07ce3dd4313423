#pragma once

namespace stowaway {

class App;

// The data file's commands with their window work: the Crate, folder and file
// lists and the two option boxes around the store's load, save and clear.

// Replaces the whole table, both options and the window's Crate, folder and file
// lists from the data file. Failures are shown to the user; the caller is not told.
void LoadDataFile(App& app);
// Takes the log path from the window and writes the table and both options.
void SaveDataFile(App& app);
// Destroys every Crate after the user confirms.
void ClearCrateData(App& app);

// The Advanced menu's manual load and save.
void MnuAdvancedLoad(App& app);
void MnuAdvancedSave(App& app);

}  // namespace stowaway
