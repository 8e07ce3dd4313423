// Volume bookkeeping for a commit: from the old set's volumes and the new
// set's, which files stand in the way of the new names (moved aside first,
// the old NAME.zip before all others), and which old volumes the new set
// leaves behind (removed once it is in place, wherever they are, so that no
// folder keeps old volumes beside new ones).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "CommitJournal.h"

namespace pkzip::commit {

struct NewSet {
    // Volumes still under work names: {work, final}, NAME.zip last.
    std::vector<std::pair<std::string, std::string>> toPlace;
    // Volumes already under their final names (their medium was taken out).
    std::vector<std::string> placed;
};

// Fills `j` (aside, place, stale; the new volumes' identities) for
// replacing the set whose last volume is `archive` and whose volumes are
// `oldVolumes` (empty: no old set). False with `error` when a new volume
// cannot be looked at.
bool PlanCommit(const std::string& archive, const std::vector<std::string>& oldVolumes,
                const NewSet& newSet, Journal& j, std::string& error);

// The old files that a commit of `j` removes without a new volume taking
// their name: for telling the user.
std::vector<std::string> RemovedOldFiles(const Journal& j);

// `path` with its folder resolved (links, "." and ".."): two names of one
// place compare equal.
std::string CanonicalPath(const std::string& path);

}  // namespace pkzip::commit
