#include "ui/browse/BrowseRows.h"

#include "platform/VisibleText.h"

namespace stowaway {

namespace {

std::string VersionText(const CatalogueVersion& version) {
    return DisplayStamp(version.archive.stamp) + (version.archive.current ? " (current)" : "");
}

std::string Plural(std::size_t count, const char* one) {
    return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
}

}  // namespace

std::string GroupedSize(std::uint64_t bytes) {
    const std::string digits = std::to_string(bytes);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string LeafOf(std::string_view name) {
    if (!name.empty() && name.back() == '/') name.remove_suffix(1);
    const std::size_t slash = name.rfind('/');
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

std::vector<TableControl::Row> VersionRows(const std::vector<CatalogueVersion>& versions) {
    std::vector<TableControl::Row> rows;
    for (const CatalogueVersion& version : versions) {
        const ArchiveVersion& archive = version.archive;
        rows.push_back(TableControl::Row{
            {VersionText(version), VisibleText(LeafOf(archive.path)), GroupedSize(archive.size),
             archive.entries ? GroupedSize(*archive.entries) : "", version.check},
            !version.checked});
    }
    return rows;
}

TableControl::Row FileRow(const VersionListing& listing, const ListingChild& child) {
    if (child.folder) return TableControl::Row{{VisibleText(child.name) + "/", "", ""}, false};
    const CompactEntry& entry = listing.entry(child.entry);
    return TableControl::Row{
        {VisibleText(child.name), GroupedSize(entry.size), EntryTimeText(entry)},
        (entry.marks & CompactEntry::Unsafe) != 0};
}

std::vector<TableControl::Row> ResultRows(VersionCatalogue& catalogue,
                                          const std::vector<CatalogueHit>& hits) {
    std::vector<TableControl::Row> rows;
    for (const CatalogueHit& hit : hits) {
        const VersionListing& listing = *catalogue.listing(hit.version);
        const CompactEntry& entry = listing.entry(hit.entry);
        rows.push_back(TableControl::Row{
            {VersionText(catalogue.versions()[hit.version]), VisibleText(listing.name(hit.entry)),
             GroupedSize(entry.size), EntryTimeText(entry)},
            (entry.marks & CompactEntry::Unsafe) != 0});
    }
    return rows;
}

std::vector<TableControl::Row> HistoryRows(VersionCatalogue& catalogue,
                                           const std::vector<HistoryLine>& history) {
    std::vector<TableControl::Row> rows;
    for (const HistoryLine& line : history) {
        const CompactEntry& entry = catalogue.listing(line.version)->entry(line.entry);
        const char* change = line.change == FileChange::Changed ? "changed"
                             : line.change == FileChange::Same  ? "same"
                                                                : "oldest kept";
        rows.push_back(TableControl::Row{{VersionText(catalogue.versions()[line.version]),
                                          GroupedSize(entry.size), EntryTimeText(entry), change},
                                         line.change == FileChange::Changed});
    }
    return rows;
}

std::vector<TableControl::Row> ReplaceRows(const std::vector<ReplacedFile>& files) {
    std::vector<TableControl::Row> rows;
    for (const ReplacedFile& file : files)
        rows.push_back(TableControl::Row{
            {VisibleText(file.path), file.newer ? "NEWER than the archive's copy" : "older"},
            file.newer});
    return rows;
}

std::string ReplaceQuestion(const std::vector<ReplacedFile>& files) {
    std::size_t newer = 0;
    for (const ReplacedFile& file : files) newer += file.newer ? 1 : 0;
    std::string text = "Restoring replaces " + Plural(files.size(), "file") + " on disk";
    if (newer > 0)
        text +=
            ", " + std::to_string(newer) + " of them" + " newer than the archive's copy (marked)";
    return text + ". Replace them?";
}

std::string FoundText(const std::string& pattern, std::size_t hits, bool more) {
    if (pattern.empty()) return "Type a name or a wildcard to find.";
    if (more)
        return "The first " + std::to_string(hits) + " files found for " + VisibleText(pattern) +
               " are shown; a narrower pattern finds the rest.";
    return Plural(hits, "file") + " found for " + VisibleText(pattern) + ".";
}

}  // namespace stowaway
