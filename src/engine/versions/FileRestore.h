#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "engine/versions/FilePick.h"

namespace stowaway {

struct JobContext;

// Where an entry is written: under `target`, or at its original place when
// `target` is empty (the entry's name is its original path without the leading '/').
std::string RestoredPath(const std::string& target, const std::string& entryName);

// What a restore would do to the files already there.
struct ExistingFile {
    PickedFile file;
    std::string path;  // on disk
    std::time_t diskModified = 0;
    bool newerOnDisk = false;  // changed after the archive's copy
};
struct RestorePreview {
    std::vector<ExistingFile> replaced;  // every existing file that would be replaced
    // Paths where a folder, a link or another non-file is in the way; never replaced.
    std::vector<std::string> blocked;
};
RestorePreview PreviewRestore(const Platform& platform, const std::vector<PickedFile>& files,
                              const std::string& target);

struct FileRestoreRequest {
    std::vector<PickedFile> files;
    std::string target;  // empty: each file to its original place
    // The Crate the archives belong to: an encrypted one's password is looked for
    // in its keyring entry and key file first. Empty: none is known.
    std::string crate;
    // The caller asked and the user said to replace files newer than the archive's
    // copy; otherwise those are left as they are and named in the outcome.
    bool replaceNewer = false;
    // Polled before each archive and while the archiver runs; true stops the restore
    // there (the archiver is stopped; the files already in place stay).
    std::function<bool()> cancelled;
};

struct FileRestoreOutcome {
    bool ok = false;  // not cancelled, and no file failed (keptNewer are not failures)
    bool cancelled = false;
    int restored = 0;                    // files written
    std::vector<std::string> keptNewer;  // paths left as they were: newer on disk
    std::vector<std::string> problems;   // for the user, one sentence each
};

// Restores the files, one archiver run per archive through the batch file and
// the command interpreter, as the Crate's restore does: the job slot and the work
// files' lock held, the output captured or shown as the job's display says, the
// run log written, the progress bar moved by the files written.
FileRestoreOutcome RestoreFiles(const JobContext& ctx, const FileRestoreRequest& request);

}  // namespace stowaway
