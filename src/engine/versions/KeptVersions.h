#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/versions/Retention.h"
#include "engine/versions/VersionNames.h"
#include "platform/Platform.h"

namespace stowaway {

// One archive of a Crate in its backup folder: the current one or a kept one.
struct ArchiveVersion {
    bool current = false;
    Stamp stamp;       // a kept one's from its name; the current one's modification time
    std::string path;  // the last volume, the one other tools are given
    // Every file of the unit that is there, the last volume last.
    std::vector<std::string> files;
    std::uint64_t size = 0;  // of the files that are there
    std::optional<std::uint64_t> entries;
    // Empty for a whole archive; "damaged: ..." or "incomplete: ..." otherwise.
    std::string problem;
};

// The archive's end records and volumes, checked: entries, the volumes' paths
// and size, or a problem. The last volume must exist.
void SummarizeArchive(const Platform& platform, const ArchiveName& name, const std::string& base,
                      ArchiveVersion& version);

// The current archive (when there is one) first, then the kept ones newest first.
// Only names of exactly this Crate's dated pattern are taken; a damaged or
// incomplete one is listed with its problem and never stops the others.
std::vector<ArchiveVersion> FindVersions(const Platform& platform, const ArchiveName& name);

// The dated names made for the previous archive before a backup.
struct KeptLinks {
    std::vector<std::string> links;  // the last volume's last
    FileInfo kept;                   // the previous archive's last volume
};
// Links every volume of the current archive to its dated name. Nothing is ever
// replaced and nothing is copied: a clash, a file system without hard links, an
// unreadable or incomplete previous archive keep nothing and say why in log.
KeptLinks LinkPreviousArchive(const Platform& platform, const ArchiveName& name,
                              std::vector<std::string>& log);
// After the archiver: the links stay when the archive was replaced; when it still
// is the previous one (a failed run) they go again.
void SettleKeptLinks(const Platform& platform, const ArchiveName& name, const KeptLinks& links,
                     bool backupSucceeded, std::vector<std::string>& log);

// What the policy does to the Crate's archives, one line per archive:
// "  2026-12-06 02:00:00  /b/Docs-2026-12-06_020000.zip  kept: one of the last 10".
struct PrunePlan {
    std::vector<ArchiveVersion> versions;
    std::vector<RetentionVerdict> verdicts;
};
PrunePlan PlanPrune(const Platform& platform, const ArchiveName& name, const KeepPolicy& policy);
std::vector<std::string> PruneLines(const PrunePlan& plan);
// Deletes what the plan does not keep (never the current archive); the files that
// could not be deleted are named in log. False when one could not.
bool ApplyPrune(const Platform& platform, const PrunePlan& plan, std::vector<std::string>& log);

}  // namespace stowaway
