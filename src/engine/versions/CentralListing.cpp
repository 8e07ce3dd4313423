#include "engine/versions/CentralListing.h"

#include "engine/versions/CentralScan.h"

namespace stowaway {

namespace {

std::time_t FromDosTime(std::uint64_t time, std::uint64_t date) {
    std::tm tm{};
    tm.tm_year = static_cast<int>(((date >> 9) & 0x7f) + 80);
    tm.tm_mon = static_cast<int>(((date >> 5) & 0x0f)) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1f);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1f);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3f);
    tm.tm_sec = static_cast<int>((time & 0x1f) * 2);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

ListedEntry ToListedEntry(const CentralRecord& record) {
    ListedEntry entry;
    entry.name = std::string(record.name);
    entry.size = record.size;
    entry.compressedSize = record.compressedSize;
    entry.crc = record.crc;
    entry.modified = record.modified ? static_cast<std::time_t>(*record.modified)
                                     : FromDosTime(record.dosTime, record.dosDate);
    entry.folder = !entry.name.empty() && entry.name.back() == '/';
    entry.encrypted = (record.flags & 1) != 0;
    return entry;
}

CentralListing ReadCentralListing(const Platform& platform, const ArchiveName& name,
                                  const std::string& lastVolume) {
    // A set's volumes are named after its last volume's stem.
    const std::string stemPath =
        lastVolume.size() >= name.extension.size() &&
                lastVolume.compare(lastVolume.size() - name.extension.size(), name.extension.size(),
                                   name.extension) == 0
            ? lastVolume.substr(0, lastVolume.size() - name.extension.size())
            : lastVolume;
    const ListingSource source{
        platform, lastVolume, [&](std::uint32_t disk, std::uint32_t disks) {
            return disk + 1 == disks ? lastVolume : stemPath + VolumeLeaf(name, "", disk + 1);
        }};
    CentralListing listing;
    listing.problem = ScanCentralDirectory(source, [&](const CentralRecord& record) {
                          if (!record.header) listing.entries.push_back(ToListedEntry(record));
                      }).problem;
    return listing;
}

}  // namespace stowaway
