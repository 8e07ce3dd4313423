#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/versions/KeptVersions.h"
#include "engine/versions/VersionListing.h"
#include "store/RunState.h"

namespace stowaway {

// One version of a Crate as the browser shows it.
struct CatalogueVersion {
    ArchiveVersion archive;
    // Whether its last check passed: the current archive by the last backup's
    // recorded result, a kept one by its end records and central directory
    // reading cleanly.
    bool checked = false;
    std::string check;  // "passed", "last backup failed", "damaged: ...", ...
};

// A file found in one version.
struct CatalogueHit {
    std::size_t version = 0;
    std::uint32_t entry = 0;
};

// One version that holds a file, and whether the file differs there from the
// next older version that holds it.
enum class FileChange { First, Same, Changed };
struct HistoryLine {
    std::size_t version = 0;
    std::uint32_t entry = 0;
    FileChange change = FileChange::First;
};

// The versions of one Crate and, read when first asked for, each one's entries.
// A damaged or incomplete version is listed with its problem and never stops
// the others.
class VersionCatalogue {
  public:
    // lastRun: the Crate's record in the run state file, when it has one.
    VersionCatalogue(const Platform& platform, const ArchiveName& name,
                     const CrateRunState* lastRun);

    const std::vector<CatalogueVersion>& versions() const { return versions_; }
    // The version's entries, read on first use; null when the archive cannot be
    // listed at all (its problem is in versions()).
    const VersionListing* listing(std::size_t version);

    // Files matching the box's text in every version, newest version first,
    // at most limit in all; more is set when there were more.
    std::vector<CatalogueHit> search(std::string_view text, std::size_t limit, bool& more);
    // Every version holding exactly this name, newest first.
    std::vector<HistoryLine> history(std::string_view name);

  private:
    const Platform& platform_;
    std::vector<CatalogueVersion> versions_;
    std::vector<std::unique_ptr<VersionListing>> listings_;
};

// The sources of a version: its volumes in disk order.
ListingSource SourceOf(const Platform& platform, const ArchiveVersion& version);

}  // namespace stowaway
