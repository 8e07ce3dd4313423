#pragma once

#include <ostream>
#include <string>

namespace stowaway {

class App;

// Texts the data file's messages use.
inline constexpr const char* LoadErrorTitle = "Problem with Stowaway.dat";
inline constexpr const char* LoadErrorText =
    "Stowaway.dat was not found or was corrupted. New one was created.\r\n"
    "Note: If this is your first time running this, ignore this dialog box.";
inline constexpr const char* SaveErrorTitle = "Error with Stowaway.dat";
inline constexpr const char* SaveErrorText =
    "There was a problem saving to Stowaway.dat. Make sure you have space for the file or the "
    "file is not read-only.";

// Replaces the whole table, both options and the window's Crate, folder and file
// lists from the data file. Failures are shown to the user; the caller is not told.
void LoadDataFile(App& app);
// Writes the table and both options in the keyed format, all at once.
void SaveDataFile(App& app);
// Writes the table as it stands in the keyed format.
void WriteDataFile(const App& app, std::ostream& out);
// Destroys every Crate after the user confirms.
void ClearCrateData(App& app);

// The Advanced menu's manual load and save.
void MnuAdvancedLoad(App& app);
void MnuAdvancedSave(App& app);

// The log path option: kept when it ends in exactly ".txt", else the default.
std::string NormalisedLogPath(const App& app, const std::string& typed);

}  // namespace stowaway
