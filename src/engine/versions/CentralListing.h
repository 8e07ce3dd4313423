#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/versions/VersionNames.h"
#include "platform/Platform.h"

namespace stowaway {

// One entry of an archive as its central directory records it.
struct ListedEntry {
    std::string name;  // as stored: raw bytes, '/' between folders, a folder ends in '/'
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    std::uint32_t crc = 0;
    std::time_t modified = 0;  // the NTFS or Unix time field, else the DOS time as local time
    bool folder = false;
    bool encrypted = false;
};

struct CentralListing {
    std::vector<ListedEntry> entries;  // in the directory's order; the header entry left out
    // Empty for a whole directory; "damaged: ..." or "incomplete: ..." otherwise, with
    // the entries read before the fault.
    std::string problem;
};

struct CentralRecord;
// A record of the directory scan as an entry of its own.
ListedEntry ToListedEntry(const CentralRecord& record);

// Reads the central directory of the archive whose last volume is lastVolume (a
// path from FindVersions), the volumes of a split set named as `name` names them.
CentralListing ReadCentralListing(const Platform& platform, const ArchiveName& name,
                                  const std::string& lastVolume);

}  // namespace stowaway
