#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/versions/VersionCatalogue.h"
#include "ui/browse/FileRestorer.h"
#include "ui/controls/TableControl.h"

namespace stowaway {

// The browser's table rows, texts as the window shows them.

// "1,234,567".
std::string GroupedSize(std::uint64_t bytes);
// "docs" of "home/ann/docs/" or "home/ann/docs".
std::string LeafOf(std::string_view name);

// Date, archive, size, files, check; a version whose check did not pass stands out.
std::vector<TableControl::Row> VersionRows(const std::vector<CatalogueVersion>& versions);
// Name, size, modified; a folder's name ends in "/" and has no size; a name
// restoring would refuse stands out.
TableControl::Row FileRow(const VersionListing& listing, const ListingChild& child);
// Version, file, size, modified.
std::vector<TableControl::Row> ResultRows(VersionCatalogue& catalogue,
                                          const std::vector<CatalogueHit>& hits);
// Version, size, modified, change ("changed", "same", "oldest kept").
std::vector<TableControl::Row> HistoryRows(VersionCatalogue& catalogue,
                                           const std::vector<HistoryLine>& history);
// Path and what is on disk; newer ones stand out.
std::vector<TableControl::Row> ReplaceRows(const std::vector<ReplacedFile>& files);
std::string ReplaceQuestion(const std::vector<ReplacedFile>& files);
// "3 files found for *report*.", or that the first ones are shown.
std::string FoundText(const std::string& pattern, std::size_t hits, bool more);

}  // namespace stowaway
