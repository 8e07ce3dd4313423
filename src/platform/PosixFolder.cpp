#include "platform/PosixFolder.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace stowaway {

std::unique_ptr<PosixFolder> PosixFolder::Open(const std::string& nativePath) {
    DIR* dir = ::opendir(nativePath.c_str());
    if (!dir) return nullptr;
    const bool separated = !nativePath.empty() && nativePath.back() == '/';
    return std::unique_ptr<PosixFolder>(
        new PosixFolder(dir, nativePath.size() + (separated ? 0 : 1)));
}

PosixFolder::~PosixFolder() {
    ::closedir(dir_);
}

// A path of PATH_MAX bytes or more names nothing for the system's path calls; a
// name that such a path would reach gives what a look-up by that path gives, so
// nothing is dated, or taken for a file, that the archiver could not open by path.
bool PosixFolder::statName(const char* name, std::size_t length, bool followLinks,
                           struct stat& st) const {
    if (std::memchr(name, 0, length)) return false;  // the system would read a shorter name
    if (prefixLength_ + length >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return false;
    }
    return ::fstatat(::dirfd(dir_), name, &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

bool PosixFolder::next(FolderEntry& entry) {
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir_);
        if (!e) {
            failed_ = errno != 0;
            return false;
        }
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        const std::size_t length = std::strlen(name);
        entry = FolderEntry{};
        entry.name = std::string_view(name, length);
        entry.hidden = name[0] == '.';
        struct stat st {};
#ifdef _DIRENT_HAVE_D_TYPE
        unsigned char type = e->d_type;
#else
        unsigned char type = DT_UNKNOWN;
#endif
        if (type == DT_UNKNOWN && statName(name, length, false, st))
            type = S_ISLNK(st.st_mode)   ? DT_LNK
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                                         : DT_FIFO;
        if (type == DT_LNK) {
            // A link counts as a file when it leads to a file or a folder.
            entry.isLink = true;
            entry.system =
                !statName(name, length, true, st) || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
        } else {
            entry.isFolder = type == DT_DIR;
            entry.system = type != DT_DIR && type != DT_REG;
        }
        return true;
    }
}

std::optional<std::time_t> PosixFolder::modified(const std::string& name) const {
    struct stat st {};
    if (!statName(name.c_str(), name.size(), true, st)) return std::nullopt;
    return st.st_mtime;
}

bool PosixFolder::holdsFolder(const std::string& name) const {
    struct stat st {};
    return statName(name.c_str(), name.size(), true, st) && S_ISDIR(st.st_mode);
}

}  // namespace stowaway
