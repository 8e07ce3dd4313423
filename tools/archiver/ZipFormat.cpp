#include "ZipFormat.h"

#include <algorithm>

#include "Os.h"
#include "crypto/Aes2Entry.h"

namespace pkzip {
namespace {

constexpr uint16_t kMadeByUnix = (3 << 8) | 45;  // Unix host, 4.5 of the format

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
    Put32(s, static_cast<uint32_t>(v & 0xFFFFFFFFu));
    Put32(s, static_cast<uint32_t>(v >> 32));
}

uint32_t At16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
uint32_t At32(const unsigned char* p) {
    return At16(p) | (static_cast<uint32_t>(At16(p + 2)) << 16);
}
void Set16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Set32(std::string& s, size_t at, uint32_t v) {
    Set16(s, at, v & 0xFFFF);
    Set16(s, at + 2, v >> 16);
}

// Each time field holds what it can: the extended timestamp times from 1970
// to 2038 (readers take it as unsigned or signed 32 bits, so only that range
// means the same to all), the NTFS field any other time, to 100 ns. Times in
// the common range get only the short field: 72 bytes an entry add up over
// many small files.
void PutTimes(std::string& extra, const EntryRecord& e) {
    if (!e.hasUnixTime) return;
    if (e.mtime >= 0 && e.mtime <= INT32_MAX) {
        Put16(extra, 0x5455);
        Put16(extra, 5);
        extra += '\x01';  // modification time only
        Put32(extra, static_cast<uint32_t>(e.mtime));
        return;
    }
    const uint64_t ft = ToNtfsTime(e.mtime, e.mtimeNsec);
    Put16(extra, 0x000a);
    Put16(extra, 32);
    Put32(extra, 0);       // reserved
    Put16(extra, 0x0001);  // times
    Put16(extra, 24);
    Put64(extra, ft);  // modified
    Put64(extra, ft);  // accessed
    Put64(extra, ft);  // created
}

void PutMarker(std::string& extra, const EntryRecord& e) {
    if (!e.headerMarker) return;
    Put16(extra, kHeaderMarkerId);
    Put16(extra, 4);
    extra += "SWHD";
}

void PutAes(std::string& extra, const EntryRecord& e) {
    if (e.aes) extra += crypto::AesExtra(e.method);
}

}  // namespace

uint16_t HeaderMethod(const EntryRecord& e) {
    return e.aes ? crypto::kMethodAes : e.method;
}

uint32_t HeaderCrc(const EntryRecord& e) {
    return e.aes ? 0 : e.crc;  // AE-2: the authentication code stands for it
}

void ToDosTime(int64_t t, uint16_t& dosTime, uint16_t& dosDate) {
    struct tm tm {};
    if (!os::LocalTime(t, tm) || tm.tm_year < 80) {
        dosTime = 0;
        dosDate = (1 << 5) | 1;  // 1980-01-01
        return;
    }
    if (tm.tm_year > 207) {
        dosTime = (23 << 11) | (59 << 5) | 29;
        dosDate = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        return;
    }
    dosTime = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    dosDate = static_cast<uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
}

int64_t FromDosTime(uint16_t dosTime, uint16_t dosDate) {
    struct tm tm {};
    tm.tm_year = ((dosDate >> 9) & 0x7F) + 80;
    tm.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    tm.tm_mday = dosDate & 0x1F;
    tm.tm_hour = (dosTime >> 11) & 0x1F;
    tm.tm_min = (dosTime >> 5) & 0x3F;
    tm.tm_sec = (dosTime & 0x1F) * 2;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&tm));
}

uint64_t ToNtfsTime(int64_t seconds, uint32_t nsec) {
    constexpr int64_t kEpochDiff = 11644473600;  // 1601-01-01 to 1970-01-01
    const int64_t s = std::clamp<int64_t>(seconds, -kEpochDiff, INT64_MAX / 10000000 - kEpochDiff);
    return static_cast<uint64_t>(s + kEpochDiff) * 10000000u + nsec / 100;
}

bool NeedsZip64(const EntryRecord& e) {
    return e.zip64Sizes || e.size >= kMax32 || e.compSize >= kMax32 || e.localOffset >= kMax32;
}

void PlaceOnDisk(EntryRecord& e, uint32_t disk, uint64_t offset) {
    e.zip64Version = e.zip64Version || NeedsZip64(e);
    e.disk = disk;
    e.localOffset = offset;
}

uint16_t VersionNeeded(const EntryRecord& e, bool zip64) {
    if (e.aes) return 51;  // AES encryption
    uint16_t v = 20;
    switch (e.method) {
        case kMethodStore:
            v = e.name.ends_with('/') ? 20 : 10;
            break;
        case kMethodDeflate:
            v = 20;
            break;
        case 9:  // deflate64
            v = 21;
            break;
        case 12:  // bzip2
            v = 46;
            break;
        default:
            v = 63;
            break;
    }
    return zip64 ? std::max<uint16_t>(v, 45) : v;
}

uint32_t UnixExternalAttrs(uint32_t mode) {
    uint32_t attrs = mode << 16;
    if (IsUnixFolder(mode)) attrs |= 0x10;  // MS-DOS folder
    if (!(mode & 0200)) attrs |= 0x01;      // MS-DOS read-only
    return attrs;
}

std::string LocalHeader(const EntryRecord& e) {
    std::string extra;
    if (e.zip64Sizes) {
        Put16(extra, 0x0001);
        Put16(extra, 16);
        Put64(extra, e.size);
        Put64(extra, e.compSize);
    }
    PutTimes(extra, e);
    PutMarker(extra, e);
    PutAes(extra, e);

    std::string h;
    Put32(h, 0x04034b50);
    // The same version as the central header, which also counts a Zip64 offset.
    Put16(h, VersionNeeded(e, NeedsZip64(e)));
    Put16(h, e.flags);
    Put16(h, HeaderMethod(e));
    Put16(h, e.dosTime);
    Put16(h, e.dosDate);
    Put32(h, HeaderCrc(e));
    Put32(h, e.zip64Sizes ? kMax32 : static_cast<uint32_t>(e.compSize));
    Put32(h, e.zip64Sizes ? kMax32 : static_cast<uint32_t>(e.size));
    Put16(h, static_cast<uint32_t>(e.name.size()));
    Put16(h, static_cast<uint32_t>(extra.size()));
    h += e.name;
    h += extra;
    return h;
}

std::string DataDescriptor(const EntryRecord& e) {
    std::string d;
    Put32(d, 0x08074b50);
    Put32(d, HeaderCrc(e));
    if (e.zip64Sizes) {
        Put64(d, e.compSize);
        Put64(d, e.size);
    } else {
        Put32(d, static_cast<uint32_t>(e.compSize));
        Put32(d, static_cast<uint32_t>(e.size));
    }
    return d;
}

std::string CentralHeader(const EntryRecord& e) {
    const bool bigSize = e.zip64Sizes || e.size >= kMax32;
    const bool bigComp = e.zip64Sizes || e.compSize >= kMax32;
    const bool bigOffset = e.localOffset >= kMax32;
    std::string extra;
    if (bigSize || bigComp || bigOffset) {
        std::string z;
        if (bigSize) Put64(z, e.size);
        if (bigComp) Put64(z, e.compSize);
        if (bigOffset) Put64(z, e.localOffset);
        Put16(extra, 0x0001);
        Put16(extra, static_cast<uint32_t>(z.size()));
        extra += z;
    }
    PutTimes(extra, e);
    PutMarker(extra, e);
    PutAes(extra, e);
    const bool zip64 = NeedsZip64(e) || e.zip64Version;

    std::string h;
    Put32(h, 0x02014b50);
    Put16(h, kMadeByUnix);
    Put16(h, VersionNeeded(e, zip64));
    Put16(h, e.flags);
    Put16(h, HeaderMethod(e));
    Put16(h, e.dosTime);
    Put16(h, e.dosDate);
    Put32(h, HeaderCrc(e));
    Put32(h, bigComp ? kMax32 : static_cast<uint32_t>(e.compSize));
    Put32(h, bigSize ? kMax32 : static_cast<uint32_t>(e.size));
    Put16(h, static_cast<uint32_t>(e.name.size()));
    Put16(h, static_cast<uint32_t>(extra.size()));
    Put16(h, 0);       // comment length
    Put16(h, e.disk);  // disk number start
    Put16(h, 0);       // internal attributes
    Put32(h, e.externalAttrs);
    Put32(h, bigOffset ? kMax32 : static_cast<uint32_t>(e.localOffset));
    h += e.name;
    h += extra;
    return h;
}

std::string EndRecords(uint64_t entries, uint64_t cdOffset, uint64_t cdSize,
                       const std::string& comment) {
    EndPlace place;
    place.entriesHere = entries;
    place.endOffset = cdOffset + cdSize;
    return EndRecords(entries, cdOffset, cdSize, comment, place);
}

std::string EndRecords(uint64_t entries, uint64_t cdOffset, uint64_t cdSize,
                       const std::string& comment, const EndPlace& at) {
    const bool zip64 = entries >= 0xFFFF || cdOffset >= kMax32 || cdSize >= kMax32;
    std::string r;
    if (zip64) {
        Put32(r, 0x06064b50);
        Put64(r, 44);
        Put16(r, kMadeByUnix);
        Put16(r, 45);
        Put32(r, at.disk);
        Put32(r, at.cdDisk);
        Put64(r, at.entriesHere);
        Put64(r, entries);
        Put64(r, cdSize);
        Put64(r, cdOffset);
        Put32(r, 0x07064b50);
        Put32(r, at.disk);
        Put64(r, at.endOffset);
        Put32(r, at.disk + 1);
    }
    const auto n16 = [](uint64_t n) { return n >= 0xFFFF ? 0xFFFFu : static_cast<uint32_t>(n); };
    Put32(r, 0x06054b50);
    Put16(r, at.disk);
    Put16(r, at.cdDisk);
    Put16(r, n16(at.entriesHere));
    Put16(r, n16(entries));
    Put32(r, cdSize >= kMax32 ? kMax32 : static_cast<uint32_t>(cdSize));
    Put32(r, cdOffset >= kMax32 ? kMax32 : static_cast<uint32_t>(cdOffset));
    Put16(r, static_cast<uint32_t>(comment.size()));
    r += comment;
    return r;
}

std::string CarriedCentral(std::string_view central, uint64_t size, uint64_t compSize,
                           uint64_t offset, uint32_t disk) {
    std::string c(central);
    const auto* h = reinterpret_cast<const unsigned char*>(c.data());
    const size_t nameLen = At16(h + 28), extraLen = At16(h + 30);
    const bool bigComp = At32(h + 20) == kMax32;
    const bool bigSize = At32(h + 24) == kMax32;
    const bool bigOffset = offset >= kMax32;

    // Every extra field but Zip64 as it was; Zip64 rebuilt for the new offset.
    std::string others;
    const std::string extra = c.substr(46 + nameLen, extraLen);
    for (size_t at = 0; at + 4 <= extra.size();) {
        const auto* f = reinterpret_cast<const unsigned char*>(extra.data() + at);
        const size_t len = std::min<size_t>(At16(f + 2), extra.size() - at - 4);
        if (At16(f) != 0x0001) others.append(extra, at, 4 + len);
        at += 4 + len;
    }
    std::string zip64;
    if (bigSize) Put64(zip64, size);
    if (bigComp) Put64(zip64, compSize);
    if (bigOffset) Put64(zip64, offset);
    std::string newExtra;
    if (!zip64.empty()) {
        Put16(newExtra, 0x0001);
        Put16(newExtra, static_cast<uint32_t>(zip64.size()));
        newExtra += zip64;
    }
    newExtra += others;

    Set16(c, 34, disk);  // disk number start
    Set32(c, 42, bigOffset ? kMax32 : static_cast<uint32_t>(offset));
    if (bigOffset) Set16(c, 6, std::max<uint32_t>(At16(h + 6), 45));
    Set16(c, 30, static_cast<uint32_t>(newExtra.size()));
    return c.substr(0, 46 + nameLen) + newExtra + c.substr(46 + nameLen + extraLen);
}

}  // namespace pkzip
