#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/versions/CentralListing.h"
#include "engine/versions/KeptVersions.h"

namespace stowaway {

// Chosen entries of one version (exact stored names, the archive's sizes and times).
struct RestoreBatch {
    ArchiveVersion version;
    std::vector<ListedEntry> entries;
};

// A file on disk that restoring would replace.
struct ReplacedFile {
    std::string path;
    bool newer = false;  // newer than the archive's copy
};

struct RestoreReport {
    bool ok = false;
    bool cancelled = false;
    std::size_t restored = 0;
    std::string message;  // what went wrong, for the user
};

// How the browser restores: chosen entries of one version to where they came
// from (target "") or under a chosen folder. Tests put in a scripted one.
class FileRestorer {
  public:
    virtual ~FileRestorer() = default;
    // The files that restoring the batch would replace, newer ones marked.
    virtual std::vector<ReplacedFile> wouldReplace(const RestoreBatch& batch,
                                                   const std::string& target) = 0;
    // Restores the batch, replacing what is there. progress(done, total) is
    // called as files are written and returns false to stop.
    virtual RestoreReport restore(
        const RestoreBatch& batch, const std::string& target,
        const std::function<bool(std::size_t, std::size_t)>& progress) = 0;
};

}  // namespace stowaway
