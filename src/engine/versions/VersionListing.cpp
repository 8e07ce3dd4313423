#include "engine/versions/VersionListing.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "engine/Wildcard.h"
#include "engine/versions/VersionNames.h"
#include "platform/CaseFold.h"
#include "platform/Text.h"

namespace stowaway {

namespace {

// Entries are numbered in 32 bits; a directory claiming more is not a backup.
constexpr std::uint64_t MaxEntries = VersionListing::NoEntry - 1;

bool HasWildcard(std::string_view text) {
    return text.find_first_of("*?#[") != std::string_view::npos;
}

// The last component of a name, a folder's trailing "/" left off.
std::string_view Leaf(std::string_view name) {
    if (!name.empty() && name.back() == '/') name.remove_suffix(1);
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

}  // namespace

VersionListing::VersionListing(const ListingSource& source) {
    const CentralScan scan = ScanCentralDirectory(
        source, [this](const CentralRecord& record) { add(record); },
        [this](std::uint64_t bytes, std::uint64_t entries) {
            // Both are bounded by the files' sizes; the pages are only touched as
            // names arrive.
            names_.reserve(static_cast<std::size_t>(bytes));
            entries_.reserve(static_cast<std::size_t>(std::min(entries, MaxEntries)));
        });
    problem_ = scan.problem;
    names_.shrink_to_fit();
}

void VersionListing::add(const CentralRecord& record) {
    if (record.header) return;  // the Crate's description, not a file
    if (entries_.size() >= MaxEntries) {
        if (problem_.empty()) problem_ = "it holds more entries than can be listed";
        return;
    }
    CompactEntry entry;
    entry.nameOffset = names_.size();
    entry.nameLength =
        static_cast<std::uint16_t>(std::min<std::size_t>(record.name.size(), 0xFFFF));
    entry.size = record.size;
    entry.crc = record.crc;
    if (record.modified) {
        entry.modified = *record.modified;
    } else {
        entry.modified = (std::int64_t{record.dosDate} << 16) | record.dosTime;
        entry.marks |= CompactEntry::DosTime;
    }
    const std::string_view name = record.name.substr(0, entry.nameLength);
    if (!name.empty() && name.back() == '/') entry.marks |= CompactEntry::Folder;
    if (UnsafeEntryName(name)) entry.marks |= CompactEntry::Unsafe;
    names_.append(name);
    entries_.push_back(entry);
}

namespace {

void SortByName(std::vector<ListingChild>& children) {
    std::stable_sort(children.begin(), children.end(),
                     [](const ListingChild& a, const ListingChild& b) { return a.name < b.name; });
}

}  // namespace

// Each question is one pass over the entries in the order stored: a million
// names are compared in a few tens of milliseconds, where sorting them all
// first took seconds, and only what is shown is sorted.
std::vector<ListingChild> VersionListing::children(std::string_view prefix) const {
    std::unordered_map<std::string_view, std::uint32_t> seen;
    std::vector<ListingChild> folders, files;
    for (std::uint32_t index = 0; index < entries_.size(); ++index) {
        const std::string_view full = name(index);
        if (!full.starts_with(prefix)) continue;
        const std::string_view rest = full.substr(prefix.size());
        if (rest.empty()) continue;  // the folder's own entry
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) {
            files.push_back(ListingChild{rest, false, index});
        } else if (seen.try_emplace(rest.substr(0, slash), index).second) {
            folders.push_back(ListingChild{rest.substr(0, slash), true, index});
        }
    }
    SortByName(folders);
    SortByName(files);
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

std::vector<std::uint32_t> VersionListing::filesUnder(std::string_view prefix) const {
    std::vector<std::uint32_t> found;
    for (std::uint32_t index = 0; index < entries_.size(); ++index)
        if (!(entries_[index].marks & CompactEntry::Folder) && name(index).starts_with(prefix))
            found.push_back(index);
    std::stable_sort(found.begin(), found.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return name(a) < name(b); });
    return found;
}

std::uint32_t VersionListing::find(std::string_view wanted) const {
    for (std::uint32_t index = 0; index < entries_.size(); ++index)
        if (name(index) == wanted) return index;
    return NoEntry;
}

std::vector<std::uint32_t> VersionListing::search(std::string_view pattern,
                                                  std::size_t limit) const {
    const std::string lowered = FoldCase(pattern);
    const bool whole = pattern.find('/') != std::string_view::npos;
    std::vector<std::uint32_t> hits;
    for (std::uint32_t index = 0; index < entries_.size() && hits.size() < limit; ++index) {
        if (entries_[index].marks & CompactEntry::Folder) continue;
        const std::string_view n = name(index);
        if (MatchesLoweredWildcard(whole ? n : Leaf(n), lowered)) hits.push_back(index);
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return name(a) < name(b); });
    return hits;
}

std::size_t VersionListing::heldBytes() const {
    return names_.capacity() + entries_.capacity() * sizeof(CompactEntry);
}

std::time_t EntryTime(const CompactEntry& entry) {
    if (!(entry.marks & CompactEntry::DosTime)) return static_cast<std::time_t>(entry.modified);
    const std::int64_t date = entry.modified >> 16, time = entry.modified & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>(((date >> 9) & 0x7f) + 80);
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0f) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1f);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1f);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3f);
    tm.tm_sec = static_cast<int>((time & 0x1f) * 2);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string EntryTimeText(const CompactEntry& entry) {
    if (entry.marks & CompactEntry::DosTime) {
        const std::int64_t packed = entry.modified;
        return DosStampText(static_cast<std::uint16_t>(packed >> 16),
                            static_cast<std::uint16_t>(packed & 0xFFFF));
    }
    const std::optional<Stamp> stamp = LocalStamp(static_cast<std::time_t>(entry.modified));
    return stamp ? DisplayStamp(*stamp) : "";
}

std::string DosStampText(std::uint16_t date, std::uint16_t time) {
    if (date == 0) return "";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (date >> 9),
                  (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return text;
}

std::string SearchWildcard(std::string_view text) {
    const std::string trimmed = Trim(std::string(text));
    if (trimmed.empty() || HasWildcard(trimmed)) return trimmed;
    return "*" + trimmed + "*";
}

}  // namespace stowaway
