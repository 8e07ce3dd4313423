#pragma once

#include <windows.h>

#include <ctime>
#include <memory>
#include <string>

#include "platform/OpenFolder.h"

namespace stowaway {

// A FILETIME (100 ns steps since 1601) as seconds since 1970.
std::time_t FileTimeToUnix(const FILETIME& time);

// A folder open on Windows: one FindFirstFileExW search, which gives each entry's
// attributes with its name; a link's target and the dates through links are
// looked up by a handle of the name.
class Win32Folder final : public OpenFolder {
  public:
    // Opens the folder at a path; nullptr when it cannot be read.
    static std::unique_ptr<Win32Folder> Open(const std::string& path);
    ~Win32Folder() override;
    Win32Folder(const Win32Folder&) = delete;
    Win32Folder& operator=(const Win32Folder&) = delete;

    bool next(FolderEntry& entry) override;
    bool failed() const override { return failed_; }
    std::optional<std::time_t> modified(const std::string& name) const override;
    bool holdsFolder(const std::string& name) const override;

  private:
    Win32Folder(HANDLE search, std::string folder, const WIN32_FIND_DATAW& first)
        : search_(search), folder_(std::move(folder)), data_(first) {}

    HANDLE search_;
    std::string folder_;
    WIN32_FIND_DATAW data_;
    bool pending_ = true;  // data_ holds an entry not yet handed out
    bool failed_ = false;
    std::string name_;  // the current entry's name, UTF-8
};

}  // namespace stowaway
