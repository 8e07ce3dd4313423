// The new archive is written to a work file beside the old one and renamed
// over it only when complete and verified: a kill or a failure at any moment
// leaves the old archive as it was.
#pragma once

#include <string>

#include "Os.h"

namespace pkzip {

class TempFile {
  public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Creates the work file in `dir`, named after `base`, and arranges for it
    // to be removed if the process is interrupted.
    bool Create(const std::string& dir, const std::string& base, std::string& error);
    os::Handle Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    // Gives the file `mode`, syncs and closes it: ready to be renamed by a commit.
    bool Seal(uint32_t mode, std::string& error);
    // The commit renamed it: no longer ours to remove.
    void Release();
    void Discard();
    // The work-file name prefix and its process and host part for this run:
    // ".BASE.pkzip-PID@HOST~".
    static std::string WorkPrefix(const std::string& base);
    // An interruption also removes the work volumes named after this file
    // (its path followed by .z02, .z03, ...).
    static void RemoveVolumesOnSignal();

  private:
    os::Handle fd_ = os::kNoHandle;
    std::string path_;
    bool committed_ = false;
};

// A work file without a name in `folder`, where the system makes one; else
// named and removed at once: no way out of the run leaves it behind.
// kNoHandle with `error` when it cannot be made.
os::Handle NamelessWorkFile(const std::string& folder, std::string& error);

}  // namespace pkzip
