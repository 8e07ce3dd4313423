#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine/versions/CentralScan.h"

namespace stowaway {

// One entry of a version, compact: its name lies in the listing's one block of
// names, so a million entries cost a million of these and the names' bytes.
struct CompactEntry {
    std::uint64_t nameOffset = 0;
    std::uint64_t size = 0;
    // Seconds since 1970, or with DosTime the DOS date and time (date << 16 | time),
    // turned into a time only when shown: the local time zone is slow to ask.
    std::int64_t modified = 0;
    std::uint32_t crc = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t marks = 0;  // CompactEntry::Folder, Unsafe, DosTime

    static constexpr std::uint16_t Folder = 1;  // a name ending in "/"
    static constexpr std::uint16_t Unsafe = 2;  // a name restoring must refuse
    static constexpr std::uint16_t DosTime = 4;
};

// The entry's modification time, and as "2026-12-06 02:00:00" in local time.
std::time_t EntryTime(const CompactEntry& entry);
std::string EntryTimeText(const CompactEntry& entry);

// One child of a folder of the tree.
struct ListingChild {
    std::string_view name;  // one component
    bool folder = false;
    std::uint32_t entry = 0;  // a file's entry; for a folder, the first entry under it
};

// The entries of one archive, read from its central directory once. The tree
// of folders is worked out on demand, a folder's children when it is opened.
class VersionListing {
  public:
    static constexpr std::uint32_t NoEntry = 0xFFFFFFFF;

    // Reads the directory; problem() says what went wrong (the entries read
    // before it stay).
    explicit VersionListing(const ListingSource& source);
    // Built from records already at hand (tests, the fuzz target).
    VersionListing() = default;
    void add(const CentralRecord& record);

    const std::string& problem() const { return problem_; }
    std::size_t size() const { return entries_.size(); }
    const CompactEntry& entry(std::uint32_t index) const { return entries_[index]; }
    std::string_view name(std::uint32_t index) const {
        const CompactEntry& e = entries_[index];
        return std::string_view(names_).substr(e.nameOffset, e.nameLength);
    }

    // The folders and files directly in a folder, given as the prefix of the
    // names under it ("" the root, else "a/b/"; a child folder's is the prefix,
    // its name and "/"), folders first, each group in name order.
    std::vector<ListingChild> children(std::string_view prefix) const;
    // Every file entry under a folder's prefix ("" everything), in name order.
    std::vector<std::uint32_t> filesUnder(std::string_view prefix) const;
    // The entry of exactly this name, or NoEntry.
    std::uint32_t find(std::string_view name) const;
    // Entries whose last component (or, for a pattern with "/", whole name)
    // matches the wildcard without regard to case: the first `limit` stored,
    // in name order.
    std::vector<std::uint32_t> search(std::string_view pattern, std::size_t limit) const;

    // Bytes held, for the benchmark and the memory test.
    std::size_t heldBytes() const;

  private:
    std::string names_;
    std::vector<CompactEntry> entries_;
    std::string problem_;
};

// A DOS date and time as "2026-12-06 02:00:00"; "" for none.
std::string DosStampText(std::uint16_t date, std::uint16_t time);

// "What the pattern box holds" made into a wildcard: blank-trimmed, "*x*"
// for a plain word.
std::string SearchWildcard(std::string_view text);

}  // namespace stowaway
