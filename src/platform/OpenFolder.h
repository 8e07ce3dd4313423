#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace stowaway {

// One entry of an open folder. The name stays valid until the next entry is read.
struct FolderEntry {
    std::string_view name;
    bool isFolder = false;  // a real folder (a link to a folder is not one)
    bool isLink = false;    // a symbolic link
    bool hidden = false;    // POSIX: the name starts with "."
    bool system = false;    // neither a regular file nor a folder, nor a link to one
};

// A folder held open while it is read: its entries one at a time in the listing's
// order ("." and ".." left out), and what a walk asks about one of its names,
// looked up from the open folder instead of by a path built for every entry.
class OpenFolder {
  public:
    virtual ~OpenFolder() = default;
    // The next entry; false at the end of the listing or when reading it failed.
    virtual bool next(FolderEntry& entry) = 0;
    // The listing ended early because the folder could not be read on.
    virtual bool failed() const = 0;
    // The last-modification time of a name in the folder, through links.
    virtual std::optional<std::time_t> modified(const std::string& name) const = 0;
    // Whether a name in the folder is a folder or a link that leads to one.
    virtual bool holdsFolder(const std::string& name) const = 0;
};

}  // namespace stowaway
