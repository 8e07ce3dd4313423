#pragma once

#include <compare>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace stowaway {

// A wall-clock time as a kept archive's name carries it.
struct Stamp {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    auto operator<=>(const Stamp&) const = default;
};

// The local time of a moment; nullopt when the C library cannot break it down.
std::optional<Stamp> LocalStamp(std::time_t when);
// "2026-12-06_020000".
std::string FormatStamp(const Stamp& stamp);
// "2026-12-06 02:00:00", for people.
std::string DisplayStamp(const Stamp& stamp);
// A real date and time (month ends, leap days), seconds 0 to 59.
bool ValidStamp(const Stamp& stamp);

// A Crate's archive split into what its kept versions are named after:
// "/b/Docs.zip" is folder "/b", prefix "/b/", stem "Docs", extension ".zip".
struct ArchiveName {
    std::string folder;  // to list
    std::string prefix;  // to put before a leaf
    std::string stem;
    std::string extension;      // ".zip", ".ZIP", any other, or empty
    bool upperVolumes = false;  // volumes are ".Z01" after ".ZIP", as the archiver names them
};
// False for a location that names no file in a folder.
bool SplitArchiveName(std::string_view location, char separator, ArchiveName& name);

// The leaf of a volume of a set whose last volume's leaf is base + extension:
// volume 0 is the last one itself, volume n is base.z0n (base.Z0n after .ZIP).
std::string VolumeLeaf(const ArchiveName& name, const std::string& base, unsigned volume);
// The archive itself: the prefix, the stem and the extension.
std::string CurrentPath(const ArchiveName& name);

// The leaf of a kept archive's volume: "Docs-2026-12-06_020000.zip" / ".z01".
std::string DatedLeaf(const ArchiveName& name, const Stamp& stamp, unsigned volume = 0);

// A leaf that is exactly one of this Crate's kept names, with a valid date.
struct DatedLeafMatch {
    Stamp stamp;
    unsigned volume = 0;  // 0: the last volume (or the only file)
};
std::optional<DatedLeafMatch> MatchDatedLeaf(const ArchiveName& name, std::string_view leaf);

}  // namespace stowaway
