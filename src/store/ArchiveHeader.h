#pragma once

#include <string>

namespace stowaway {

class App;
struct CrateRecord;

// The magic line and version that mark an archive made by this program.
inline constexpr const char* ArchiveHeaderMagic = "Stowaway Internal Crate Data";

// The Crate's description as it is stored in the archive, lines ended by CR LF.
std::string FormatArchiveHeader(const CrateRecord& crate);

// Writes the description of the Crate in `slot` to `path`, replacing the file.
// False when the file cannot be written.
bool WriteArchiveHeader(App& app, short slot, const std::string& path);

}  // namespace stowaway
