// Entries carried over from the old archive into the new one byte for byte:
// local header, data and data descriptor as they were, and the central record
// as it was but for where the entry now starts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ArchiveReader.h"

namespace pkzip {

// The bytes of one entry in the old archive: local header, data, descriptor.
struct OldSpan {
    uint32_t disk = 0;   // volume of the local header
    uint64_t start = 0;  // position of the local header on that volume
    uint64_t length = 0;
    uint32_t headerSize = 0;
};

// Finds entries' bytes. Entries are asked for in the order they lie in, so
// their headers are read a large window at a time, not each with its own
// reads: an update keeps tens of thousands of them.
class OldSpanFinder {
  public:
    explicit OldSpanFinder(const ArchiveReader& old) : old_(old) {}
    // False with `error` for a damaged entry.
    bool Find(const ArchiveEntry& e, OldSpan& span, std::string& error);

  private:
    // At least `want` bytes from `offset` on `disk`, or fewer where the volume
    // ends; nullptr when they cannot be read.
    const unsigned char* Window(uint32_t disk, uint64_t offset, size_t want, size_t& got);
    // Hands `use` the `n` bytes there, false when they cannot be read.
    bool Copy(uint32_t disk, uint64_t offset, size_t n,
              const std::function<void(const unsigned char*)>& use);

    const ArchiveReader& old_;
    std::vector<unsigned char> window_;
    uint32_t windowDisk_ = 0;
    uint64_t windowStart_ = 0;
    size_t windowLength_ = 0;
};

}  // namespace pkzip
