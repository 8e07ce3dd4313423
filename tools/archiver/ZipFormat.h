// The ZIP records we write: local headers, central directory, end records,
// with Zip64 where sizes, offsets or the entry count need it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace pkzip {

constexpr uint16_t kMethodStore = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kFlagDescriptor = 0x0008;  // CRC and sizes follow the data
constexpr uint32_t kMax32 = 0xFFFFFFFFu;

// The archive header, when it is too long for the ZIP comment, travels as this
// entry, marked by a private extra field so a user file of the same name is
// never mistaken for it.
constexpr const char* kHeaderEntryName = "STOWAWAY-HEADER.TXT";
constexpr uint16_t kHeaderMarkerId = 0x5753;  // "SW"
constexpr size_t kMaxComment = 65535;

// Kept for every entry until the directory is written: its name and old
// central record are views (into the list of files to store or the old
// archive's directory), which must outlive it.
struct EntryRecord {
    std::string_view name;  // as stored, raw bytes
    uint16_t flags = 0;
    uint16_t method = kMethodStore;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;  // on `disk`
    uint32_t disk = 0;         // volume of a split set, from 0
    uint32_t externalAttrs = 0;
    int64_t mtime = 0;         // seconds since the epoch, UTC
    uint32_t mtimeNsec = 0;    // below the second
    bool hasUnixTime = false;  // write the extended timestamp and NTFS time fields
    bool zip64Sizes = false;   // sizes in Zip64 fields, in local and central header alike
    bool headerMarker = false;
    // Encrypted as WinZip's AE-2 with AES-256: `method` and `crc` are the
    // real ones, the headers say method 99 and CRC 0 (see HeaderMethod).
    bool aes = false;
    // The local header asked for Zip64's version: its stream offset passed
    // 4 GiB, though its offset on its own volume may not.
    bool zip64Version = false;
    // Copied byte for byte from the old archive, where its local header,
    // data and descriptor took `oldLength` bytes from `oldStart`.
    bool carried = false;
    uint32_t oldDisk = 0;
    uint64_t oldStart = 0;
    uint64_t oldLength = 0;
    std::string_view central;  // its old central record, for a carried entry
};

// Gives a written entry its place on its volume, keeping the version the
// local header asked for (see zip64Version).
void PlaceOnDisk(EntryRecord& e, uint32_t disk, uint64_t offset);

// The method and CRC as the headers hold them.
uint16_t HeaderMethod(const EntryRecord& e);
uint32_t HeaderCrc(const EntryRecord& e);

void ToDosTime(int64_t t, uint16_t& dosTime, uint16_t& dosDate);
int64_t FromDosTime(uint16_t dosTime, uint16_t dosDate);

// Same length for the same record whatever its crc and sizes, so a header
// written first with zeros can be rewritten in place once the data is known.
std::string LocalHeader(const EntryRecord& e);
std::string CentralHeader(const EntryRecord& e);
// Signature, CRC and sizes after an entry's data (sizes in 8 bytes for Zip64).
std::string DataDescriptor(const EntryRecord& e);
std::string EndRecords(uint64_t entries, uint64_t cdOffset, uint64_t cdSize,
                       const std::string& comment);
// Where the end records of a split set lie: on the last disk `disk`, at
// `endOffset` there, with `entriesHere` central records on that disk and the
// central directory starting on `cdDisk`.
struct EndPlace {
    uint32_t disk = 0;
    uint32_t cdDisk = 0;
    uint64_t entriesHere = 0;
    uint64_t endOffset = 0;
};
std::string EndRecords(uint64_t entries, uint64_t cdOffset, uint64_t cdSize,
                       const std::string& comment, const EndPlace& at);

// 100 ns units since 1601, as the NTFS extra field holds them.
uint64_t ToNtfsTime(int64_t seconds, uint32_t nsec);
bool NeedsZip64(const EntryRecord& e);

// Version needed to extract for a method we copy but do not write ourselves.
uint16_t VersionNeeded(const EntryRecord& e, bool zip64);

// The type bits of a Unix mode, as archives record them.
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixFifo = 0010000;
constexpr uint32_t kUnixFolder = 0040000;
constexpr uint32_t kUnixFile = 0100000;
constexpr uint32_t kUnixLink = 0120000;
constexpr bool IsUnixFolder(uint32_t mode) {
    return (mode & kUnixTypeMask) == kUnixFolder;
}
constexpr bool IsUnixLink(uint32_t mode) {
    return (mode & kUnixTypeMask) == kUnixLink;
}

uint32_t UnixExternalAttrs(uint32_t mode);

// A central record copied from another archive, moved to local header offset
// `offset` on `disk`: the offset's Zip64 field added, changed or dropped as it
// needs; every other field as recorded. `size` and `compSize` are the
// entry's real sizes.
std::string CarriedCentral(std::string_view central, uint64_t size, uint64_t compSize,
                           uint64_t offset, uint32_t disk = 0);

}  // namespace pkzip
