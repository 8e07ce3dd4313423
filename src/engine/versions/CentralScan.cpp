#include "engine/versions/CentralScan.h"

#include <algorithm>
#include <optional>

#include "engine/versions/ZipEnd.h"

namespace stowaway {

namespace {

constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::size_t CentralFixed = 46;
constexpr std::size_t BlockBytes = std::size_t{1} << 20;

std::uint64_t Le(std::string_view bytes, std::size_t pos, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[pos + static_cast<std::size_t>(i)]);
    return value;
}

// The ZIP64 extra field's sizes, in the order the standard gives them, where
// the fixed fields hold all ones.
void ApplyZip64(std::string_view extra, CentralRecord& record, bool sizeWide, bool compressedWide) {
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const std::uint64_t id = Le(extra, pos, 2);
        const std::size_t length = static_cast<std::size_t>(Le(extra, pos + 2, 2));
        if (pos + 4 + length > extra.size()) return;
        if (id == 0x0001) {
            std::size_t at = pos + 4;
            const std::size_t end = at + length;
            if (sizeWide && at + 8 <= end) {
                record.size = Le(extra, at, 8);
                at += 8;
            }
            if (compressedWide && at + 8 <= end) record.compressedSize = Le(extra, at, 8);
            return;
        }
        pos += 4 + length;
    }
}

// Reads the directory's bytes across volumes in order, a block at a time.
class DirectoryReader {
  public:
    DirectoryReader(const ListingSource& source, std::uint32_t disk, std::uint64_t offset,
                    std::uint64_t size)
        : source_(source), disk_(disk), offset_(offset), left_(size) {}

    // Appends up to one block to `buffer`; false when nothing more can be read.
    bool more(std::string& buffer, std::string& problem) {
        while (left_ > 0 && disk_ < source_.volumes.size()) {
            const std::string& path = source_.volumes[disk_];
            const std::optional<std::uint64_t> size = source_.platform.fileSize(path);
            if (!size) {
                problem = "its volume \"" + path + "\" cannot be read";
                return false;
            }
            if (offset_ >= *size) {
                ++disk_;
                offset_ = 0;
                continue;
            }
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>({BlockBytes, left_, *size - offset_}));
            std::string block;
            if (!source_.platform.readFileRange(path, offset_, want, block) || block.empty()) {
                problem = "its central directory cannot be read";
                return false;
            }
            offset_ += block.size();
            left_ -= std::min<std::uint64_t>(left_, block.size());
            buffer += block;
            return true;
        }
        if (left_ > 0) problem = "its central directory runs past its last volume";
        return false;
    }
    bool done() const { return left_ == 0; }

  private:
    const ListingSource& source_;
    std::size_t disk_;
    std::uint64_t offset_;
    std::uint64_t left_;
};

}  // namespace

bool UnsafeEntryName(std::string_view name) {
    if (name.empty() || name.front() == '/') return true;
    if (name.size() >= 2 && name[1] == ':') return true;
    if (name.find('\\') != std::string_view::npos) return true;
    if (name.find('\0') != std::string_view::npos) return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        if (name.substr(start, slash - start) == "..") return true;
        start = slash + 1;
    }
    return false;
}

CentralScan ScanCentralDirectory(
    const ListingSource& source, const std::function<void(const CentralRecord&)>& each,
    const std::function<void(std::uint64_t bytes, std::uint64_t entries)>& found) {
    CentralScan scan;
    if (source.volumes.empty()) {
        scan.problem = "it has no volumes";
        return scan;
    }
    const std::string& last = source.volumes.back();
    const std::optional<std::uint64_t> lastSize = source.platform.fileSize(last);
    if (!lastSize) {
        scan.problem = "it cannot be read";
        return scan;
    }
    std::string tail;
    const std::uint64_t tailOffset = *lastSize > ZipEndSearch ? *lastSize - ZipEndSearch : 0;
    if (!source.platform.readFileRange(last, tailOffset, ZipEndSearch, tail)) {
        scan.problem = "it cannot be read";
        return scan;
    }
    const std::uint32_t volumes = static_cast<std::uint32_t>(source.volumes.size());
    const DiskReader read = [&](std::uint32_t disk, std::uint32_t disks, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        if (disks != volumes || disk >= disks) return false;
        return source.platform.readFileRange(source.volumes[disk], offset, length, out);
    };
    std::string error;
    const std::optional<ZipEnd> end = ParseZipEnd(tail, tailOffset, read, error);
    if (!end) {
        scan.problem = error;
        return scan;
    }
    if (end->disks != volumes) {
        scan.problem = "its end record speaks of " + std::to_string(end->disks) + " volumes, and " +
                       std::to_string(volumes) + " are there";
        return scan;
    }
    scan.directoryBytes = end->directorySize;
    std::uint64_t room = 0;
    for (std::size_t disk = end->directoryDisk; disk < source.volumes.size(); ++disk)
        room += source.platform.fileSize(source.volumes[disk]).value_or(0);
    if (end->directorySize > room) {
        scan.problem = "its central directory is larger than its volumes";
        return scan;
    }
    if (found) found(end->directorySize, std::min(end->entries, end->directorySize / CentralFixed));

    DirectoryReader reader(source, end->directoryDisk, end->directoryOffset, end->directorySize);
    std::string buffer;
    std::size_t pos = 0;
    // Records are parsed from the buffer; what is left of one that a block cut
    // moves to the front before the next block comes.
    auto need = [&](std::size_t bytes) {
        while (buffer.size() - pos < bytes) {
            if (pos > 0) {
                buffer.erase(0, pos);
                pos = 0;
            }
            if (!reader.more(buffer, scan.problem)) return false;
        }
        return true;
    };
    while (pos < buffer.size() || !reader.done()) {
        if (!need(CentralFixed)) {
            if (scan.problem.empty()) scan.problem = "its central directory ends inside a record";
            return scan;
        }
        const std::string_view at(buffer.data() + pos, buffer.size() - pos);
        if (Le(at, 0, 4) != CentralSignature) {
            scan.problem = "its central directory is damaged after " +
                           std::to_string(scan.entries) + " entries";
            return scan;
        }
        const std::size_t nameLength = static_cast<std::size_t>(Le(at, 28, 2));
        const std::size_t extraLength = static_cast<std::size_t>(Le(at, 30, 2));
        const std::size_t commentLength = static_cast<std::size_t>(Le(at, 32, 2));
        const std::size_t whole = CentralFixed + nameLength + extraLength + commentLength;
        if (!need(whole)) {
            if (scan.problem.empty()) scan.problem = "its central directory ends inside a record";
            return scan;
        }
        if (scan.entries == end->entries) {
            scan.problem = "its central directory holds more entries than its end record says (" +
                           std::to_string(end->entries) + ")";
            return scan;
        }
        const std::string_view record(buffer.data() + pos, whole);
        CentralRecord entry;
        entry.flags = static_cast<std::uint16_t>(Le(record, 8, 2));
        entry.method = static_cast<std::uint16_t>(Le(record, 10, 2));
        entry.dosTime = static_cast<std::uint16_t>(Le(record, 12, 2));
        entry.dosDate = static_cast<std::uint16_t>(Le(record, 14, 2));
        entry.crc = static_cast<std::uint32_t>(Le(record, 16, 4));
        entry.compressedSize = Le(record, 20, 4);
        entry.size = Le(record, 24, 4);
        entry.name = record.substr(CentralFixed, nameLength);
        if (entry.size == 0xFFFFFFFF || entry.compressedSize == 0xFFFFFFFF)
            ApplyZip64(record.substr(CentralFixed + nameLength, extraLength), entry,
                       entry.size == 0xFFFFFFFF, entry.compressedSize == 0xFFFFFFFF);
        each(entry);
        ++scan.entries;
        pos += whole;
    }
    if (scan.entries != end->entries)
        scan.problem = "its central directory holds " + std::to_string(scan.entries) +
                       " entries, and its end record says " + std::to_string(end->entries);
    return scan;
}

}  // namespace stowaway
