#include "engine/versions/VersionCatalogue.h"

namespace stowaway {

namespace {

std::string CurrentCheck(const CrateRunState* lastRun, bool& checked) {
    checked = lastRun && lastRun->result == RunResult::Ok;
    if (!lastRun || lastRun->result == RunResult::None) return "no backup recorded";
    if (lastRun->result == RunResult::Ok) return "passed";
    return "last backup failed" + (lastRun->error.empty() ? "" : ": " + lastRun->error);
}

}  // namespace

ListingSource SourceOf(const Platform& platform, const ArchiveVersion& version) {
    return SourceOfFiles(platform, version.files);
}

VersionCatalogue::VersionCatalogue(const Platform& platform, const ArchiveName& name,
                                   const CrateRunState* lastRun)
    : platform_(platform) {
    for (ArchiveVersion& archive : FindVersions(platform, name)) {
        CatalogueVersion version;
        version.archive = std::move(archive);
        if (!version.archive.problem.empty()) {
            version.check = version.archive.problem;
        } else {
            // Read through once without keeping anything: the end records and
            // every record of the directory.
            const CentralScan scan =
                ScanCentralDirectory(SourceOf(platform, version.archive), [](auto&) {});
            if (!scan.problem.empty()) {
                version.check = scan.problem;
                version.archive.problem = version.check;
            } else if (version.archive.current) {
                version.check = CurrentCheck(lastRun, version.checked);
            } else {
                version.checked = true;
                version.check = "passed";
            }
        }
        versions_.push_back(std::move(version));
    }
    listings_.resize(versions_.size());
}

const VersionListing* VersionCatalogue::listing(std::size_t version) {
    if (version >= versions_.size()) return nullptr;
    const ArchiveVersion& archive = versions_[version].archive;
    if (!archive.problem.empty()) return nullptr;
    if (!listings_[version])
        listings_[version] = std::make_unique<VersionListing>(SourceOf(platform_, archive));
    return listings_[version].get();
}

std::vector<CatalogueHit> VersionCatalogue::search(std::string_view text, std::size_t limit,
                                                   bool& more) {
    more = false;
    std::vector<CatalogueHit> hits;
    const std::string pattern = SearchWildcard(text);
    if (pattern.empty()) return hits;
    for (std::size_t v = 0; v < versions_.size(); ++v) {
        const VersionListing* found = listing(v);
        if (!found) continue;
        // One more than room is left tells whether there were more.
        for (const std::uint32_t entry : found->search(pattern, limit - hits.size() + 1)) {
            if (hits.size() == limit) {
                more = true;
                return hits;
            }
            hits.push_back(CatalogueHit{v, entry});
        }
    }
    return hits;
}

std::vector<HistoryLine> VersionCatalogue::history(std::string_view name) {
    std::vector<HistoryLine> lines;
    for (std::size_t v = 0; v < versions_.size(); ++v) {
        const VersionListing* found = listing(v);
        if (!found) continue;
        const std::uint32_t entry = found->find(name);
        if (entry != VersionListing::NoEntry) lines.push_back(HistoryLine{v, entry});
    }
    // Newest first: each compares with the line after it.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i + 1 == lines.size()) {
            lines[i].change = FileChange::First;
            continue;
        }
        const CompactEntry& now = listings_[lines[i].version]->entry(lines[i].entry);
        const CompactEntry& before = listings_[lines[i + 1].version]->entry(lines[i + 1].entry);
        lines[i].change = now.crc == before.crc && now.size == before.size ? FileChange::Same
                                                                           : FileChange::Changed;
    }
    return lines;
}

}  // namespace stowaway
