#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/versions/CentralListing.h"
#include "engine/versions/KeptVersions.h"

namespace stowaway {

// One archive of a Crate with the entries its central directory lists.
struct VersionEntries {
    ArchiveVersion version;
    CentralListing listing;
    // The version's own problem, else its directory's; empty when whole.
    const std::string& problem() const {
        return version.problem.empty() ? listing.problem : version.problem;
    }
};

// The Crate's archives (FindVersions' order: the current one, then the kept ones
// newest first) with their listings. A damaged or incomplete one is there with
// its problem and never stops the others.
std::vector<VersionEntries> ListVersionEntries(const Platform& platform, const ArchiveName& name);

// A file to restore and the archive it comes from.
struct PickedFile {
    std::string archive;  // the version's path (its last volume)
    Stamp stamp;          // the version's date
    ListedEntry entry;
};

struct FilePick {
    std::vector<PickedFile> files;       // grouped by archive, newest archive first
    std::vector<std::string> unmatched;  // the patterns that matched no file
};

// The files each pattern names: an entry's exact name; a folder, "a/b/" or "a/b"
// (everything under it); or a wildcard as MatchesWildcard takes it, matched
// against the whole name when it holds a '/', else against the last part. A
// leading '/' is dropped: a file's original path names it. With `only`, from
// versions[*only]; else each file from the newest version that holds it, damaged
// or incomplete versions left out. A name is picked once; folders' own entries
// are not picked.
FilePick PickFiles(const std::vector<VersionEntries>& versions,
                   const std::vector<std::string>& patterns,
                   std::optional<std::size_t> only = std::nullopt);

}  // namespace stowaway
