// Read-back check of a freshly written archive before it may replace the old
// one: the directory as a reader sees it, every new entry decompressed and its
// CRC compared, every entry carried over compared byte for byte with the old
// archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EntryRecords.h"
#include "VolumeSet.h"

namespace pkzip {

namespace crypto {
class Password;
class KeyCache;
}  // namespace crypto

struct VerifyCost {
    uint64_t checkedBytes = 0;   // decompressed
    uint64_t comparedBytes = 0;  // carried over and compared
};

// `volumes` are the paths of a split set's volumes, disk 0 first (empty for
// one file at `path`); `old` is the old archive when entries were carried
// from it; `password` decrypts and authenticates the new encrypted entries,
// `keys` holds the keys derived when they were written.
bool VerifyArchive(const std::string& path, const std::vector<std::string>& volumes,
                   const EntryRecords& expected, const std::string& comment, const VolumeSet* old,
                   unsigned threads, std::string& error, VerifyCost* cost = nullptr,
                   const crypto::Password* password = nullptr,
                   const crypto::KeyCache* keys = nullptr);

}  // namespace pkzip
