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

// Whether a local header's extra field holds a Zip64 record: that, not the
// central record, makes a data descriptor's sizes 8 bytes each.
bool LocalZip64(const unsigned char* h, size_t headerSize) {
    size_t at = 30 + Get16(h + 26);
    const size_t end = std::min<size_t>(headerSize, at + Get16(h + 28));
    while (at + 4 <= end) {
        if (Get16(h + at) == 0x0001) return true;
        at += 4 + Get16(h + at + 2);
    }
    return false;
}

// Signatures that may follow an entry: the next local header, the central
// directory, Zip64 or classic end records, archive extra data, a digital
// signature.
bool RecordStartsAt(const unsigned char* p) {
    switch (Get32(p)) {
        case 0x04034b50:
        case 0x02014b50:
        case 0x06064b50:
        case 0x06054b50:
        case 0x08064b50:
        case 0x05054b50:
            return true;
        default:
            return false;
    }
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

bool OldSpanFinder::Copy(uint32_t disk, uint64_t offset, size_t n,
                         const std::function<void(const unsigned char*)>& use) {
    size_t got = 0;
    const unsigned char* p = Window(disk, offset, n, got);
    if (p != nullptr && got >= n) {
        use(p);
        return true;
    }
    std::vector<unsigned char> buf(n);  // across a volume's end
    if (old_.Volumes().ReadSome(disk, offset, buf.data(), n) != n) return false;
    use(buf.data());
    return true;
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
    // CRC and sizes follow the data, with or without a signature, in 4 or 8
    // bytes each as the local header says.
    bool zip64 = false;
    if (!Copy(span.disk, span.start, span.headerSize,
              [&](const unsigned char* h) { zip64 = LocalZip64(h, span.headerSize); })) {
        error = "its local header cannot be read";
        return false;
    }
    unsigned char d[8] = {};
    uint32_t at = loc.disk;
    uint64_t where = loc.offset;
    if (!old_.Volumes().Advance(at, where, e.compSize) ||
        !Copy(at, where, 8, [&](const unsigned char* p) { std::copy(p, p + 8, d); })) {
        error = "its data descriptor is missing";
        return false;
    }
    const bool signature = Get32(d) == kSigDescriptor && Get32(d + 4) == e.crc;
    span.length += (signature ? 4 : 0) + 4 + (zip64 ? 16 : 8);
    // What follows must be the next record: a wrong width would cut the
    // entry short or take in the next one's first bytes.
    bool follows = false;
    at = span.disk;
    where = span.start;
    if (!old_.Volumes().Advance(at, where, span.length) ||
        !Copy(at, where, 4, [&](const unsigned char* p) { follows = RecordStartsAt(p); }) ||
        !follows) {
        error = "its data descriptor does not end where the next record begins";
        return false;
    }
    return true;
}

}  // namespace pkzip
