#include "CarryOver.h"

#include <algorithm>

#include "ZipFormat.h"

namespace pkzip {
namespace {

constexpr uint32_t kSigDescriptor = 0x08074b50;
constexpr size_t kWindow = 1 << 20;
constexpr size_t kLongestHeader = 30 + 2 * 0xFFFF;

uint32_t Get16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
uint32_t Get32(const unsigned char* p) {
    return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

}  // namespace

const unsigned char* OldSpanFinder::Window(uint32_t disk, uint64_t offset, size_t want,
                                           size_t& got) {
    const VolumeSet& v = old_.Volumes();
    if (disk >= v.DiskCount() || offset >= v.VolumeSize(disk)) return nullptr;
    const uint64_t end = windowStart_ + windowLength_;
    const bool inside = windowLength_ > 0 && disk == windowDisk_ && offset >= windowStart_ &&
                        offset < end && (offset + want <= end || end == v.VolumeSize(disk));
    if (!inside) {
        window_.resize(std::max<size_t>(kWindow, want));
        windowDisk_ = disk;
        windowStart_ = offset;
        windowLength_ =
            static_cast<size_t>(std::min<uint64_t>(window_.size(), v.VolumeSize(disk) - offset));
        std::string why;
        if (!v.ReadAt(disk, offset, window_.data(), windowLength_, why)) {
            windowLength_ = 0;
            return nullptr;
        }
    }
    got = static_cast<size_t>(windowStart_ + windowLength_ - offset);
    return window_.data() + (offset - windowStart_);
}

bool OldSpanFinder::Find(const ArchiveEntry& e, OldSpan& span, std::string& error) {
    DataLocation loc;
    std::string why;
    uint32_t disk;
    uint64_t offset;
    old_.HeaderPlace(e, disk, offset);
    size_t got = 0;
    const unsigned char* pre = Window(disk, offset, kLongestHeader, got);
    if (old_.LocateIn(e, loc, pre, pre ? got : 0, why) != ReadStatus::Ok) {
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
    uint32_t at = loc.disk;
    uint64_t where = loc.offset;
    const unsigned char* ahead = nullptr;
    if (old_.Volumes().Advance(at, where, e.compSize)) ahead = Window(at, where, 16, got);
    if (ahead != nullptr && got >= 16) {
        std::copy(ahead, ahead + 16, d);
    } else if (!old_.ReadRaw(loc, e.compSize, d, 16, why)) {
        error = "its data descriptor is missing";
        return false;
    }
    const bool signature = Get32(d) == kSigDescriptor && Get32(d + 4) == e.crc;
    const uint64_t sizes = e.zip64 ? 16 : 8;
    span.length += (signature ? 4 : 0) + 4 + sizes;
    return true;
}

}  // namespace pkzip
