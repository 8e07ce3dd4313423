// Entries carried over from the old archive into the new one byte for byte:
// local header, data and data descriptor as they were, and the central record
// as it was but for where the entry now starts.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveReader.h"

namespace pkzip {

// The bytes of one entry in the old archive: local header, data, descriptor.
struct OldSpan {
    uint32_t disk = 0;   // volume of the local header
    uint64_t start = 0;  // position of the local header on that volume
    uint64_t length = 0;
    uint32_t headerSize = 0;
};

// Finds the entry's bytes; false with `error` for a damaged entry.
bool FindOldSpan(const ArchiveReader& old, const ArchiveEntry& e, OldSpan& span,
                 std::string& error);

}  // namespace pkzip
