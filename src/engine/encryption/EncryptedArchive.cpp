#include "engine/encryption/EncryptedArchive.h"

#include <algorithm>
#include <optional>

#include "engine/versions/ZipEnd.h"
#include "platform/Platform.h"

namespace stowaway {

namespace {

constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::size_t CentralSize = 46;
constexpr std::uint16_t AesMethod = 99;
// More than any real directory read at once is not needed: it is read in slices.
constexpr std::size_t Slice = 1 << 20;
constexpr std::uint32_t MaxDisks = 1000;

std::uint32_t Le(const std::string& bytes, std::size_t pos, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[pos + static_cast<std::size_t>(i)]);
    return value;
}

// NAME.z01 for the first disk of a set whose last volume is NAME.zip.
std::string VolumeOf(const std::string& archive, std::uint32_t disk, std::uint32_t disks) {
    if (disk + 1 == disks || archive.size() < 2) return archive;
    const std::string number = (disk + 1 < 10 ? "0" : "") + std::to_string(disk + 1);
    return archive.substr(0, archive.size() - 2) + number;
}

}  // namespace

ArchiveEncryption ArchiveEncryptionOf(const Platform& platform, const std::string& archive) {
    const std::optional<std::uint64_t> size = platform.fileSize(archive);
    if (!size) return ArchiveEncryption::Unreadable;
    const std::uint64_t tailOffset = *size > ZipEndSearch ? *size - ZipEndSearch : 0;
    std::string tail;
    if (!platform.readFileRange(archive, tailOffset, ZipEndSearch, tail))
        return ArchiveEncryption::Unreadable;
    const DiskReader read = [&](std::uint32_t disk, std::uint32_t disks, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        return disks <= MaxDisks &&
               platform.readFileRange(VolumeOf(archive, disk, disks), offset, length, out);
    };
    std::string error;
    const std::optional<ZipEnd> end = ParseZipEnd(tail, tailOffset, read, error);
    if (!end || end->disks > MaxDisks) return ArchiveEncryption::Unreadable;

    // The directory in slices, each record whole in one; it may run on into the
    // next volume of a set.
    std::uint32_t disk = end->directoryDisk;
    std::uint64_t offset = end->directoryOffset;
    std::uint64_t left = end->directorySize;
    std::uint64_t seen = 0;
    std::string bytes;
    std::size_t at = 0;
    while (seen < end->entries) {
        if (bytes.size() - at < CentralSize) {
            bytes.erase(0, at);
            at = 0;
            std::string more;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(Slice, left));
            if (want == 0) return ArchiveEncryption::Unreadable;
            if (!read(disk, end->disks, offset, want, more)) return ArchiveEncryption::Unreadable;
            if (more.empty()) {
                if (++disk >= end->disks) return ArchiveEncryption::Unreadable;
                offset = 0;
                continue;
            }
            offset += more.size();
            left -= std::min<std::uint64_t>(left, more.size());
            bytes += more;
            continue;
        }
        if (Le(bytes, at, 4) != CentralSignature) return ArchiveEncryption::Unreadable;
        const std::size_t record =
            CentralSize + Le(bytes, at + 28, 2) + Le(bytes, at + 30, 2) + Le(bytes, at + 32, 2);
        if ((Le(bytes, at + 8, 2) & 1) != 0 || Le(bytes, at + 10, 2) == AesMethod)
            return ArchiveEncryption::Encrypted;
        if (bytes.size() - at < record) {
            // The rest of this record comes with the next slice.
            bytes.erase(0, at);
            at = 0;
            std::string more;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(Slice, left));
            if (want == 0 || !read(disk, end->disks, offset, want, more) || more.empty())
                return ArchiveEncryption::Unreadable;
            offset += more.size();
            left -= std::min<std::uint64_t>(left, more.size());
            bytes += more;
            continue;
        }
        at += record;
        ++seen;
    }
    return ArchiveEncryption::Plain;
}

}  // namespace stowaway
