#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace stowaway {

// What a ZIP archive's end records say about it (ZIP64 where they point to it).
struct ZipEnd {
    std::uint64_t entries = 0;
    std::uint32_t disks = 1;  // volumes in the set, the last one holding these records
    std::uint32_t directoryDisk = 0;
    std::uint64_t directoryOffset = 0;  // from the start of its disk
    std::uint64_t directorySize = 0;
    std::uint64_t endOffset = 0;  // where the first end record starts in the last volume
};

// Reads length bytes at offset of a disk (numbered from 0) of a set of disks;
// false when it cannot.
using DiskReader = std::function<bool(std::uint32_t disk, std::uint32_t disks, std::uint64_t offset,
                                      std::size_t length, std::string&)>;

// How many bytes at the end of the last volume hold the end records whatever the comment.
inline constexpr std::size_t ZipEndSearch = 22 + 65535 + 20;

// Finds the end records in the tail of the last volume (tail starts at tailOffset),
// following a ZIP64 locator through read. Nullopt, with the reason in error, for
// anything that is not a whole, consistent set of end records.
std::optional<ZipEnd> ParseZipEnd(std::string_view tail, std::uint64_t tailOffset,
                                  const DiskReader& read, std::string& error);

}  // namespace stowaway
