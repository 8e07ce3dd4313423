#pragma once

namespace stowaway {

// The program's version, shown in the run log, the archive header and the about box.
inline constexpr int VersionMajor = STOWAWAY_VERSION_MAJOR;
inline constexpr int VersionMinor = STOWAWAY_VERSION_MINOR;

}  // namespace stowaway
