// Read-back check of a freshly written archive before it may replace the old
// one: the directory as a reader sees it, every new entry decompressed and its
// CRC compared, every entry carried over compared byte for byte with the old
// archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ZipFormat.h"

namespace pkzip {

struct VerifyCost {
    uint64_t checkedBytes = 0;   // decompressed
    uint64_t comparedBytes = 0;  // carried over and compared
};

// `oldFd` is the old archive, open, when entries were carried from it.
bool VerifyArchive(const std::string& path, const std::vector<EntryRecord>& expected,
                   const std::string& comment, int oldFd, unsigned threads, std::string& error,
                   VerifyCost* cost = nullptr);

}  // namespace pkzip
