#include "engine/versions/ZipEnd.h"

namespace stowaway {

namespace {

constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t Zip64EndSignature = 0x06064b50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064b50;

std::uint64_t Le(std::string_view bytes, std::size_t pos, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[pos + static_cast<std::size_t>(i)]);
    return value;
}

}  // namespace

std::optional<ZipEnd> ParseZipEnd(std::string_view tail, std::uint64_t tailOffset,
                                  const DiskReader& read, std::string& error) {
    if (tail.size() < 22) {
        error = "too short to be a ZIP archive";
        return std::nullopt;
    }
    // The last signature whose comment ends the file, as other tools look for it.
    std::size_t pos = tail.size() - 22 + 1;
    bool found = false;
    while (pos-- > 0) {
        if (Le(tail, pos, 4) == EndSignature && pos + 22 + Le(tail, pos + 20, 2) == tail.size()) {
            found = true;
            break;
        }
    }
    if (!found) {
        error = "no end of central directory record (cut short or not a ZIP archive)";
        return std::nullopt;
    }
    ZipEnd end;
    const std::uint64_t disk = Le(tail, pos + 4, 2);
    end.disks = static_cast<std::uint32_t>(disk) + 1;
    end.directoryDisk = static_cast<std::uint32_t>(Le(tail, pos + 6, 2));
    end.entries = Le(tail, pos + 10, 2);
    end.directorySize = Le(tail, pos + 12, 4);
    end.directoryOffset = Le(tail, pos + 16, 4);
    end.endOffset = tailOffset + pos;

    if (pos >= 20 && Le(tail, pos - 20, 4) == Zip64LocatorSignature) {
        const std::uint32_t recordDisk = static_cast<std::uint32_t>(Le(tail, pos - 16, 4));
        const std::uint64_t recordOffset = Le(tail, pos - 12, 8);
        const std::uint32_t disks = static_cast<std::uint32_t>(Le(tail, pos - 4, 4));
        std::string record;
        if (disks == 0 || recordDisk >= disks ||
            !read(recordDisk, disks, recordOffset, 56, record) || record.size() < 56 ||
            Le(record, 0, 4) != Zip64EndSignature) {
            error = "its ZIP64 end record is missing or damaged";
            return std::nullopt;
        }
        end.disks = disks;
        end.directoryDisk = static_cast<std::uint32_t>(Le(record, 20, 4));
        end.entries = Le(record, 32, 8);
        end.directorySize = Le(record, 40, 8);
        end.directoryOffset = Le(record, 48, 8);
        end.endOffset = tailOffset + pos - 20;
        if (recordDisk + 1 == disks && recordOffset < end.endOffset) end.endOffset = recordOffset;
    }
    if (end.directoryDisk >= end.disks) {
        error = "its central directory lies on a volume the set does not have";
        return std::nullopt;
    }
    if (end.directoryDisk + 1 == end.disks &&
        (end.directorySize > end.endOffset ||
         end.directoryOffset > end.endOffset - end.directorySize)) {
        error = "its central directory runs past the end record";
        return std::nullopt;
    }
    if (end.entries > 0) {
        std::string signature;
        if (!read(end.directoryDisk, end.disks, end.directoryOffset, 4, signature) ||
            signature.size() < 4 || Le(signature, 0, 4) != 0x02014b50) {
            error = "no central directory where its end record says";
            return std::nullopt;
        }
    }
    return end;
}

}  // namespace stowaway
