#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/OpenFolder.h"

namespace stowaway {

// A folder open on POSIX: one descriptor, read with readdir; an entry's type comes
// from the listing, and only links (and file systems that give no type) cost a
// stat, made relative to the folder.
class PosixFolder final : public OpenFolder {
  public:
    // Opens the folder at a native path (links followed); nullptr when it cannot
    // be read.
    static std::unique_ptr<PosixFolder> Open(const std::string& nativePath);
    ~PosixFolder() override;
    PosixFolder(const PosixFolder&) = delete;
    PosixFolder& operator=(const PosixFolder&) = delete;

    bool next(FolderEntry& entry) override;
    bool failed() const override { return failed_; }
    std::optional<std::time_t> modified(const std::string& name) const override;
    bool holdsFolder(const std::string& name) const override;

  private:
    PosixFolder(DIR* dir, std::size_t prefixLength) : dir_(dir), prefixLength_(prefixLength) {}
    bool statName(const char* name, std::size_t length, bool followLinks, struct stat& st) const;

    DIR* dir_;
    std::size_t prefixLength_;  // the length of the folder's path and its separator
    bool failed_ = false;
};

}  // namespace stowaway
