#include "CarryOver.h"

#include <algorithm>

#include "ZipFormat.h"

namespace pkzip {
namespace {

constexpr uint32_t kSigDescriptor = 0x08074b50;

uint32_t Get16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
uint32_t Get32(const unsigned char* p) {
    return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

}  // namespace

bool FindOldSpan(const ArchiveReader& old, const ArchiveEntry& e, OldSpan& span,
                 std::string& error) {
    DataLocation loc;
    std::string why;
    if (old.Locate(e, loc, why) != ReadStatus::Ok) {
        error = why;
        return false;
    }
    span.disk = loc.localDisk;
    span.start = loc.headerStart;
    span.headerSize = loc.headerSize;
    span.length = loc.headerSize + e.compSize;
    if (!e.hasDescriptor) return true;
    // CRC and sizes follow the data, with or without a signature, in 4 or 8 bytes.
    unsigned char d[24] = {};
    if (!old.ReadRaw(loc, e.compSize, d, 16, why)) {
        error = "its data descriptor is missing";
        return false;
    }
    const bool signature = Get32(d) == kSigDescriptor && Get32(d + 4) == e.crc;
    const uint64_t sizes = e.zip64 ? 16 : 8;
    span.length += (signature ? 4 : 0) + 4 + sizes;
    return true;
}

}  // namespace pkzip
