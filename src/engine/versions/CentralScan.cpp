#include "engine/versions/CentralScan.h"

#include <algorithm>
#include <optional>

#include "engine/versions/ZipEnd.h"
#include "platform/VisibleText.h"

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

constexpr std::uint16_t HeaderMarkerId = 0x5753;  // the archiver's own header entry
constexpr std::int64_t NtfsEpochSeconds = 11644473600;

// The extra fields the listing needs: ZIP64 sizes where the fixed fields hold
// all ones, the modification time, the header mark. False when a ZIP64 size
// the record calls for is missing.
bool ReadExtra(std::string_view extra, CentralRecord& record, bool needSize, bool needCompressed) {
    bool ntfs = false;
    for (std::size_t pos = 0; pos + 4 <= extra.size();) {
        const std::uint64_t id = Le(extra, pos, 2);
        const std::size_t length = static_cast<std::size_t>(Le(extra, pos + 2, 2));
        if (pos + 4 + length > extra.size()) break;
        const std::string_view data = extra.substr(pos + 4, length);
        if (id == 0x0001) {
            std::size_t at = 0;
            if (needSize && at + 8 <= data.size()) {
                record.size = Le(data, at, 8);
                at += 8;
                needSize = false;
            }
            if (needCompressed && at + 8 <= data.size()) {
                record.compressedSize = Le(data, at, 8);
                needCompressed = false;
            }
        } else if (id == 0x000a && data.size() >= 32 && Le(data, 4, 2) == 1 &&
                   Le(data, 6, 2) >= 24) {
            record.modified =
                static_cast<std::int64_t>(Le(data, 8, 8) / 10000000) - NtfsEpochSeconds;
            ntfs = true;
        } else if (id == 0x5455 && data.size() >= 5 && (data[0] & 1) && !ntfs) {
            record.modified = static_cast<std::int32_t>(Le(data, 1, 4));
        } else if (id == HeaderMarkerId) {
            record.header = true;
        }
        pos += 4 + length;
    }
    return !needSize && !needCompressed;
}

std::string Quoted(const std::string& path) {
    return "\"" + VisibleText(path) + "\"";
}

// More volumes than any real set has: a damaged count, not a set to look for.
constexpr std::uint32_t MaxVolumes = 100000;

// Reads the directory's bytes across volumes in order, a block at a time.
class DirectoryReader {
  public:
    DirectoryReader(const ListingSource& source, std::uint32_t disks, std::uint32_t disk,
                    std::uint64_t offset, std::uint64_t size)
        : source_(source), disks_(disks), disk_(disk), offset_(offset), left_(size) {}

    // Appends up to one block to `buffer`; false when nothing more can be read.
    bool more(std::string& buffer, std::string& problem) {
        while (left_ > 0 && disk_ < disks_) {
            const std::string path = source_.volume(disk_, disks_);
            const std::optional<std::uint64_t> size = source_.platform.fileSize(path);
            if (!size) {
                problem = "incomplete: its volume " + Quoted(path) + " is missing";
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
                problem = "damaged: its central directory cannot be read";
                return false;
            }
            offset_ += block.size();
            left_ -= std::min<std::uint64_t>(left_, block.size());
            buffer += block;
            return true;
        }
        if (left_ > 0) problem = "damaged: its central directory is cut short";
        return false;
    }
    bool done() const { return left_ == 0; }

  private:
    const ListingSource& source_;
    std::uint32_t disks_;
    std::uint32_t disk_;
    std::uint64_t offset_;
    std::uint64_t left_;
};

}  // namespace

ListingSource SourceOfFiles(const Platform& platform, std::vector<std::string> files) {
    std::string last = files.empty() ? std::string() : files.back();
    return ListingSource{platform, last,
                         [files = std::move(files), last](std::uint32_t disk, std::uint32_t disks) {
                             if (disk + 1 == disks) return last;
                             // A set of another size than the files there: no such volume.
                             return disks == files.size() ? files[disk] : std::string();
                         }};
}

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
    const std::string& last = source.lastVolume;
    const std::optional<FileInfo> info = source.platform.fileInfo(last);
    if (last.empty() || !info || !info->regular) {
        scan.problem = "incomplete: its last volume " + Quoted(last) + " is missing";
        return scan;
    }
    std::string tail;
    const std::uint64_t tailOffset = info->size > ZipEndSearch ? info->size - ZipEndSearch : 0;
    if (!source.platform.readFileRange(last, tailOffset, ZipEndSearch, tail)) {
        scan.problem = "damaged: it cannot be read";
        return scan;
    }
    std::string missing;
    const DiskReader read = [&](std::uint32_t disk, std::uint32_t disks, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        if (disks > MaxVolumes || disk >= disks) return false;
        const std::string path = source.volume(disk, disks);
        if (path.empty() || !source.platform.fileInfo(path)) {
            missing = path;
            return false;
        }
        return source.platform.readFileRange(path, offset, length, out);
    };
    std::string error;
    const std::optional<ZipEnd> end = ParseZipEnd(tail, tailOffset, read, error);
    if (!end) {
        scan.problem = missing.empty()
                           ? "damaged: " + error
                           : "incomplete: its volume " + Quoted(missing) + " is missing";
        return scan;
    }
    if (end->disks > MaxVolumes) {
        scan.problem = "damaged: its end record claims " + std::to_string(end->disks) + " volumes";
        return scan;
    }
    scan.directoryBytes = end->directorySize;
    // The directory can be no larger than the volumes it lies in: what a
    // caller reserves stays bounded by the files' sizes.
    std::uint64_t room = 0;
    for (std::uint32_t disk = end->directoryDisk; disk < end->disks && room < end->directorySize;
         ++disk) {
        const std::string path = source.volume(disk, end->disks);
        const std::optional<std::uint64_t> size =
            path.empty() ? std::nullopt : source.platform.fileSize(path);
        if (!size) {
            scan.problem = "incomplete: its volume " + Quoted(path) + " is missing";
            return scan;
        }
        room += disk == end->directoryDisk ? *size - std::min(*size, end->directoryOffset) : *size;
    }
    if (end->directorySize > room) {
        scan.problem = "damaged: its central directory is cut short";
        return scan;
    }
    if (found) found(end->directorySize, std::min(end->entries, end->directorySize / CentralFixed));

    DirectoryReader reader(source, end->disks, end->directoryDisk, end->directoryOffset,
                           end->directorySize);
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
    const auto record = [&] { return std::to_string(scan.entries + 1); };
    while (pos < buffer.size() || !reader.done()) {
        if (!need(4) || Le(std::string_view(buffer).substr(pos), 0, 4) != CentralSignature ||
            !need(CentralFixed)) {
            if (scan.problem.empty())
                scan.problem =
                    "damaged: central record " + record() + " is not where the one before it ends";
            return scan;
        }
        const std::string_view at(buffer.data() + pos, buffer.size() - pos);
        const std::size_t nameLength = static_cast<std::size_t>(Le(at, 28, 2));
        const std::size_t extraLength = static_cast<std::size_t>(Le(at, 30, 2));
        const std::size_t commentLength = static_cast<std::size_t>(Le(at, 32, 2));
        const std::size_t whole = CentralFixed + nameLength + extraLength + commentLength;
        if (!need(whole)) {
            if (scan.problem.empty())
                scan.problem =
                    "damaged: central record " + record() + " runs past the directory's end";
            return scan;
        }
        if (scan.entries == end->entries) {
            scan.problem = "damaged: its end record counts " + std::to_string(end->entries) +
                           " entries, its central directory holds more";
            return scan;
        }
        const std::string_view bytes(buffer.data() + pos, whole);
        CentralRecord entry;
        entry.flags = static_cast<std::uint16_t>(Le(bytes, 8, 2));
        entry.method = static_cast<std::uint16_t>(Le(bytes, 10, 2));
        entry.dosTime = static_cast<std::uint16_t>(Le(bytes, 12, 2));
        entry.dosDate = static_cast<std::uint16_t>(Le(bytes, 14, 2));
        entry.crc = static_cast<std::uint32_t>(Le(bytes, 16, 4));
        entry.compressedSize = Le(bytes, 20, 4);
        entry.size = Le(bytes, 24, 4);
        entry.name = bytes.substr(CentralFixed, nameLength);
        if (!ReadExtra(bytes.substr(CentralFixed + nameLength, extraLength), entry,
                       entry.size == 0xFFFFFFFF, entry.compressedSize == 0xFFFFFFFF)) {
            scan.problem =
                "damaged: the ZIP64 sizes of " + VisibleText(entry.name) + " are missing";
            return scan;
        }
        each(entry);
        ++scan.entries;
        pos += whole;
    }
    if (scan.entries != end->entries)
        scan.problem = "damaged: its end record counts " + std::to_string(end->entries) +
                       " entries, its central directory holds " + std::to_string(scan.entries);
    return scan;
}

}  // namespace stowaway
