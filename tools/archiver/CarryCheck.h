// Tests the entries an update would carry over from the old archive: each
// is decompressed and its CRC checked, on several threads, before any of
// them is copied. A damaged entry must never be carried on silently: its
// copy would pass every later byte-for-byte comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveReader.h"

namespace pkzip {

struct DamagedEntry {
    size_t index = 0;  // in the old archive's directory
    std::string why;
};

// `which` are indexes into `old`'s entries; the damaged ones come back in
// that order. `old` must check exact lengths (ArchiveReader::RequireExactLength).
// `testedBytes` receives the uncompressed bytes tested.
std::vector<DamagedEntry> TestCarriedEntries(const ArchiveReader& old,
                                             const std::vector<size_t>& which, unsigned threads,
                                             uint64_t* testedBytes = nullptr);

}  // namespace pkzip
