#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace stowaway {

// One record of an archive's central directory as it is read: the name is a
// view into the read buffer, valid only during the call.
struct CentralRecord {
    std::string_view name;
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint16_t flags = 0;  // the general purpose bits
    std::uint16_t method = 0;
    // The time of the extended timestamp or NTFS field, when there is one.
    std::optional<std::int64_t> modified;
    bool header = false;  // the archiver's own entry carrying the Crate's header
};

// Where the volumes of one archive are: the path of disk n (from 0) of a set
// of `disks`, the last one holding the end records.
struct ListingSource {
    const Platform& platform;
    std::string lastVolume;
    std::function<std::string(std::uint32_t disk, std::uint32_t disks)> volume;
};
// The volumes as a list in disk order (a version's files), the last one last.
ListingSource SourceOfFiles(const Platform& platform, std::vector<std::string> files);

// What reading a central directory found.
struct CentralScan {
    std::uint64_t entries = 0;  // records handed on
    std::uint64_t directoryBytes = 0;
    // Empty when the end records and every record read cleanly; otherwise
    // "damaged: ..." or "incomplete: ..." (a volume is missing).
    std::string problem;
};

// Reads the end records, then the central directory a block at a time, handing
// each record to `each` in the order stored. Nothing is held but one block: a
// count or size the archive claims never decides what is allocated. The problem
// says what was wrong; the records before it have been handed on.
// `found` learns the directory's size and claimed count first (both already
// checked against the files' sizes), so that a caller can reserve once.
CentralScan ScanCentralDirectory(
    const ListingSource& source, const std::function<void(const CentralRecord&)>& each,
    const std::function<void(std::uint64_t bytes, std::uint64_t entries)>& found = {});

// A stored name that restoring must refuse: an absolute path, a drive, a ".."
// component, a backslash or a NUL.
bool UnsafeEntryName(std::string_view name);

}  // namespace stowaway
