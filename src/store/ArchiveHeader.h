#pragma once

#include <string>

namespace stowaway {

class Platform;
struct CrateRecord;

// The magic line and version that mark an archive made by this program.
inline constexpr const char* ArchiveHeaderMagic = "Stowaway Internal Crate Data";

// The Crate's description as it is stored in the archive, lines ended by CR LF.
std::string FormatArchiveHeader(const CrateRecord& crate);

// Writes the Crate's description to `path`, replacing the file. False when the
// file cannot be written.
bool WriteArchiveHeader(const Platform& platform, const CrateRecord& crate,
                        const std::string& path);

}  // namespace stowaway
