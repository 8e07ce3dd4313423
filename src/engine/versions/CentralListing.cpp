#include "engine/versions/CentralListing.h"

#include <algorithm>

#include "engine/versions/ZipEnd.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace {

constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::size_t CentralFixed = 46;
constexpr std::uint16_t HeaderMarkerId = 0x5753;  // the archiver's own header entry
constexpr std::uint32_t Max32 = 0xFFFFFFFFu;
// More volumes than any real set has: a damaged count, not a set to look for.
constexpr std::uint32_t MaxVolumes = 100000;
constexpr std::int64_t NtfsEpochSeconds = 11644473600;

std::uint64_t Le(std::string_view bytes, std::size_t pos, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[pos + static_cast<std::size_t>(i)]);
    return value;
}

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

// Applies the extra fields the listing needs: ZIP64 sizes, the times, the header mark.
// False when a ZIP64 field the record calls for is missing.
bool ReadExtra(std::string_view extra, ListedEntry& entry, bool& header, bool needSize,
               bool needCompressed) {
    bool ntfs = false;
    for (std::size_t pos = 0; pos + 4 <= extra.size();) {
        const std::uint64_t id = Le(extra, pos, 2);
        const std::size_t length = static_cast<std::size_t>(Le(extra, pos + 2, 2));
        if (pos + 4 + length > extra.size()) break;
        const std::string_view data = extra.substr(pos + 4, length);
        if (id == 0x0001) {
            std::size_t at = 0;
            if (needSize) {
                if (at + 8 > data.size()) return false;
                entry.size = Le(data, at, 8);
                at += 8;
                needSize = false;
            }
            if (needCompressed) {
                if (at + 8 > data.size()) return false;
                entry.compressedSize = Le(data, at, 8);
                needCompressed = false;
            }
        } else if (id == 0x000a && data.size() >= 32 && Le(data, 4, 2) == 1 &&
                   Le(data, 6, 2) >= 24) {
            const std::uint64_t ticks = Le(data, 8, 8);
            entry.modified = static_cast<std::time_t>(static_cast<std::int64_t>(ticks / 10000000) -
                                                      NtfsEpochSeconds);
            ntfs = true;
        } else if (id == 0x5455 && data.size() >= 5 && (data[0] & 1) && !ntfs) {
            entry.modified = static_cast<std::time_t>(static_cast<std::int32_t>(Le(data, 1, 4)));
        } else if (id == HeaderMarkerId) {
            header = true;
        }
        pos += 4 + length;
    }
    return !needSize && !needCompressed;
}

}  // namespace

CentralListing ReadCentralListing(const Platform& platform, const ArchiveName& name,
                                  const std::string& lastVolume) {
    CentralListing listing;
    const std::optional<FileInfo> info = platform.fileInfo(lastVolume);
    if (!info || !info->regular) {
        listing.problem =
            "incomplete: its last volume \"" + VisibleText(lastVolume) + "\" is missing";
        return listing;
    }
    const std::string stemPath =
        lastVolume.size() >= name.extension.size() &&
                lastVolume.compare(lastVolume.size() - name.extension.size(), name.extension.size(),
                                   name.extension) == 0
            ? lastVolume.substr(0, lastVolume.size() - name.extension.size())
            : lastVolume;
    std::string missing;
    const auto volumePath = [&](std::uint32_t disk, std::uint32_t disks) {
        return disk + 1 == disks ? lastVolume : stemPath + VolumeLeaf(name, "", disk + 1);
    };
    const DiskReader read = [&](std::uint32_t disk, std::uint32_t disks, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        if (disks > MaxVolumes) return false;
        const std::string path = volumePath(disk, disks);
        if (!platform.fileInfo(path)) {
            missing = path;
            return false;
        }
        return platform.readFileRange(path, offset, length, out);
    };
    const std::uint64_t tailOffset = info->size > ZipEndSearch ? info->size - ZipEndSearch : 0;
    std::string tail, error;
    if (!platform.readFileRange(lastVolume, tailOffset, ZipEndSearch, tail)) {
        listing.problem = "damaged: it cannot be read";
        return listing;
    }
    const std::optional<ZipEnd> end = ParseZipEnd(tail, tailOffset, read, error);
    if (!end) {
        listing.problem =
            missing.empty() ? "damaged: " + error
                            : "incomplete: its volume \"" + VisibleText(missing) + "\" is missing";
        return listing;
    }
    // The directory, which may run on from one volume into the next.
    std::string directory;
    std::uint32_t disk = end->directoryDisk;
    std::uint64_t offset = end->directoryOffset;
    while (directory.size() < end->directorySize && disk < end->disks) {
        const std::string path = volumePath(disk, end->disks);
        const std::optional<FileInfo> part = platform.fileInfo(path);
        if (!part) {
            listing.problem = "incomplete: its volume \"" + VisibleText(path) + "\" is missing";
            return listing;
        }
        const std::uint64_t want = end->directorySize - directory.size();
        const std::uint64_t here = part->size > offset ? std::min(want, part->size - offset) : 0;
        std::string piece;
        if (here > 0 &&
            !platform.readFileRange(path, offset, static_cast<std::size_t>(here), piece))
            break;
        directory += piece;
        ++disk;
        offset = 0;
    }
    if (directory.size() < end->directorySize) {
        listing.problem = "damaged: its central directory is cut short";
        return listing;
    }

    std::uint64_t records = 0;
    for (std::size_t pos = 0; pos < directory.size(); ++records) {
        if (pos + CentralFixed > directory.size() || Le(directory, pos, 4) != CentralSignature) {
            listing.problem = "damaged: central record " + std::to_string(records + 1) +
                              " is not where the one before it ends";
            return listing;
        }
        const std::size_t nameLength = static_cast<std::size_t>(Le(directory, pos + 28, 2));
        const std::size_t extraLength = static_cast<std::size_t>(Le(directory, pos + 30, 2));
        const std::size_t commentLength = static_cast<std::size_t>(Le(directory, pos + 32, 2));
        const std::size_t length = CentralFixed + nameLength + extraLength + commentLength;
        if (pos + length > directory.size()) {
            listing.problem = "damaged: central record " + std::to_string(records + 1) +
                              " runs past the directory's end";
            return listing;
        }
        ListedEntry entry;
        entry.name = directory.substr(pos + CentralFixed, nameLength);
        entry.encrypted = (Le(directory, pos + 8, 2) & 1) != 0;
        entry.crc = static_cast<std::uint32_t>(Le(directory, pos + 16, 4));
        entry.compressedSize = Le(directory, pos + 20, 4);
        entry.size = Le(directory, pos + 24, 4);
        entry.modified = FromDosTime(Le(directory, pos + 12, 2), Le(directory, pos + 14, 2));
        bool header = false;
        if (!ReadExtra(
                std::string_view(directory).substr(pos + CentralFixed + nameLength, extraLength),
                entry, header, entry.size == Max32, entry.compressedSize == Max32)) {
            listing.problem =
                "damaged: the ZIP64 sizes of " + VisibleText(entry.name) + " are missing";
            return listing;
        }
        entry.folder = !entry.name.empty() && entry.name.back() == '/';
        if (!header) listing.entries.push_back(std::move(entry));
        pos += length;
    }
    if (records != end->entries)
        listing.problem = "damaged: its end record counts " + std::to_string(end->entries) +
                          " entries, its central directory holds " + std::to_string(records);
    return listing;
}

}  // namespace stowaway
