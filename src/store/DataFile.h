#pragma once

#include <ostream>
#include <string>

namespace stowaway {

struct CrateStore;
struct StoreContext;

// Texts the data file's messages use.
inline constexpr const char* LoadErrorTitle = "Problem with Stowaway.dat";
inline constexpr const char* LoadErrorText =
    "Stowaway.dat was not found or was corrupted. New one was created.\r\n"
    "Note: If this is your first time running this, ignore this dialog box.";
inline constexpr const char* SaveErrorTitle = "Error with Stowaway.dat";
inline constexpr const char* SaveErrorText =
    "There was a problem saving to Stowaway.dat. Make sure you have space for the file or the "
    "file is not read-only.";

// How a load ended.
enum class LoadOutcome {
    NoData,   // a missing, empty or one-item file: the default options
    Loaded,   // the table and options as the file holds them
    Damaged,  // the load error was shown; the table is empty
};

// The load after the table was emptied and LogPath set from the window: replaces
// the table and both options from the data file, closes gaps between named slots
// and selects no Crate. Damage is shown to the user.
LoadOutcome LoadCrateFile(const StoreContext& ctx);
// Writes the table and both options in the keyed format, all at once; a failure
// is shown to the user and false returned.
bool SaveCrateFile(const StoreContext& ctx);
// Writes the table as it stands in the keyed format.
void WriteDataFile(const CrateStore& store, std::ostream& out);
// Asks before every Crate is destroyed; a refusal is acknowledged.
bool ConfirmClearCrateData(const StoreContext& ctx);
// Empties the table and the data file and says so.
void DestroyCrateData(const StoreContext& ctx);

// The log path option: kept when it ends in exactly ".txt", else the default.
std::string NormalisedLogPath(const StoreContext& ctx, const std::string& typed);

}  // namespace stowaway
