#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/os/File.h"

namespace stowaway::os {
namespace {

int Fd(Handle h) {
    return static_cast<int>(h);
}

int OpenMode(unsigned flags) {
    int m = O_CLOEXEC;
    if ((flags & kRead) && (flags & kWrite)) {
        m |= O_RDWR;
    } else if (flags & kWrite) {
        m |= O_WRONLY;
    } else {
        m |= O_RDONLY;
    }
    if (flags & kCreate) m |= O_CREAT;
    if (flags & kExclusive) m |= O_EXCL;
    if (flags & kTruncate) m |= O_TRUNC;
    if (flags & kAppend) m |= O_APPEND;
    if (flags & kNoFollow) m |= O_NOFOLLOW;
    if (flags & kFolder) m |= O_DIRECTORY;
    if (flags & kSource) m |= O_NOCTTY | O_NONBLOCK;
    if (flags & kLookupOnly) m |= O_PATH;
    return m;
}

FileTime TimeOf(const struct timespec& t) {
    return MakeTime(t.tv_sec, static_cast<uint32_t>(t.tv_nsec));
}

void Fill(const struct stat& st, FileInfo& info) {
    info.type = S_ISREG(st.st_mode)   ? FileType::File
                : S_ISDIR(st.st_mode) ? FileType::Folder
                : S_ISLNK(st.st_mode) ? FileType::Link
                                      : FileType::Other;
    info.size = static_cast<uint64_t>(st.st_size);
    info.modified = TimeOf(st.st_mtim);
    info.changed = TimeOf(st.st_ctim);
    info.mode = st.st_mode;
    info.device = st.st_dev;
    info.index = st.st_ino;
    info.links = static_cast<uint32_t>(st.st_nlink);
    info.owner = st.st_uid;
    info.group = st.st_gid;
}

FileType TypeOf(unsigned char d_type) {
    switch (d_type) {
        case DT_REG:
            return FileType::File;
        case DT_DIR:
            return FileType::Folder;
        case DT_LNK:
            return FileType::Link;
        default:
            return FileType::Other;
    }
}

bool List(DIR* d, const std::function<bool(const FolderEntry&)>& visit) {
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!visit(FolderEntry{name, TypeOf(e->d_type)})) break;
    }
    ::closedir(d);
    return true;
}

}  // namespace

int LastError() {
    return errno;
}

std::string ErrorText(int code) {
    return std::strerror(code);
}

FileTime Now() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return TimeOf(now);
}

bool LocalTime(int64_t seconds, std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    return ::localtime_r(&t, &out) != nullptr;
}

Handle Open(PathRef path, unsigned flags, uint32_t mode) {
    return ::open(path.c_str(), OpenMode(flags), static_cast<mode_t>(mode));
}

Handle OpenAt(Handle folder, PathRef name, unsigned flags, uint32_t mode) {
    return ::openat(Fd(folder), name.c_str(), OpenMode(flags), static_cast<mode_t>(mode));
}

Handle OpenFolderBeneath(Handle folder, PathRef relativePath) {
    const std::string relative = relativePath.c_str();
    // One call where the kernel has it; else a part at a time.
    struct open_how how {};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, Fd(folder), relative.c_str(), &how, sizeof how);
    if (fd >= 0) return fd;
    if (errno != ENOSYS && errno != EPERM) return kNoHandle;
    int at = ::dup(Fd(folder));
    for (size_t pos = 0; at >= 0 && pos <= relative.size();) {
        size_t slash = relative.find('/', pos);
        if (slash == std::string::npos) slash = relative.size();
        const std::string part = relative.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            ::close(at);
            errno = EXDEV;
            return kNoHandle;
        }
        const int sub = ::openat(at, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(at);
        errno = err;
        at = sub;
    }
    return at;
}

bool Close(Handle h) {
    return h < 0 || ::close(Fd(h)) == 0;
}

Handle Inherited(int number) {
    return number;
}

Handle Duplicate(Handle h) {
    return ::fcntl(Fd(h), F_DUPFD_CLOEXEC, 0);
}

int64_t ReadAt(Handle h, void* buf, size_t n, uint64_t offset) {
    return ::pread(Fd(h), buf, n, static_cast<off_t>(offset));
}

int64_t WriteAt(Handle h, const void* buf, size_t n, uint64_t offset) {
    return ::pwrite(Fd(h), buf, n, static_cast<off_t>(offset));
}

int64_t Read(Handle h, void* buf, size_t n) {
    return ::read(Fd(h), buf, n);
}

int64_t Write(Handle h, const void* buf, size_t n) {
    return ::write(Fd(h), buf, n);
}

bool Rewind(Handle h) {
    return ::lseek(Fd(h), 0, SEEK_SET) == 0;
}

void WillReadThrough(Handle h) {
    ::posix_fadvise(Fd(h), 0, 0, POSIX_FADV_SEQUENTIAL);
}

int64_t CopyRange(Handle from, uint64_t* fromAt, Handle to, uint64_t* toAt, size_t n) {
    auto in = static_cast<loff_t>(*fromAt);
    auto out = static_cast<loff_t>(*toAt);
    const ssize_t done = ::copy_file_range(Fd(from), &in, Fd(to), &out, n, 0);
    if (done > 0) {
        *fromAt = static_cast<uint64_t>(in);
        *toAt = static_cast<uint64_t>(out);
    }
    if (done < 0 && (errno == EOPNOTSUPP || errno == EBADF)) errno = ENOSYS;
    return done;
}

bool Stat(Handle h, FileInfo& info) {
    struct stat st;
    if (::fstat(Fd(h), &st) != 0) return false;
    Fill(st, info);
    return true;
}

bool StatPath(PathRef path, FileInfo& info, bool follow) {
    struct stat st;
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return false;
    Fill(st, info);
    return true;
}

bool StatAt(Handle folder, PathRef name, FileInfo& info, bool follow) {
    struct stat st;
    if (::fstatat(Fd(folder), name.c_str(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    Fill(st, info);
    return true;
}

bool MayWrite(PathRef path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool Sync(Handle h) {
    return ::fsync(Fd(h)) == 0;
}

void SyncFolder(PathRef folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Truncate(Handle h, uint64_t size) {
    return ::ftruncate(Fd(h), static_cast<off_t>(size)) == 0;
}

int Reserve(Handle h, uint64_t offset, uint64_t n) {
    return ::posix_fallocate(Fd(h), static_cast<off_t>(offset), static_cast<off_t>(n));
}

bool SetModified(Handle h, FileTime modified) {
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(Seconds(modified)), static_cast<long>(SubsecondNanos(modified))}};
    return ::futimens(Fd(h), times) == 0;
}

bool SetMode(Handle h, uint32_t mode) {
    return ::fchmod(Fd(h), static_cast<mode_t>(mode & 07777)) == 0;
}

bool SetPathMode(PathRef path, uint32_t mode) {
    return ::chmod(path.c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

uint32_t CreationMask() {
    // Read once: umask can only be read by setting it, which no thread may
    // race with later.
    static const uint32_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return static_cast<uint32_t>(m);
    }();
    return mask;
}

bool KeepOwner(Handle h, const FileInfo& like) {
    struct stat mine {};
    if (::fstat(Fd(h), &mine) != 0) return false;
    if (mine.st_uid == like.owner && mine.st_gid == like.group) return true;
    return ::fchown(Fd(h), like.owner, like.group) == 0;
}

bool MakeFolder(PathRef path, uint32_t mode) {
    return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool MakeFolderAt(Handle folder, PathRef name, uint32_t mode) {
    return ::mkdirat(Fd(folder), name.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool Remove(PathRef path) {
    return ::unlink(path.c_str()) == 0;
}

bool RemoveAt(Handle folder, PathRef name) {
    return ::unlinkat(Fd(folder), name.c_str(), 0) == 0;
}

bool RemoveInHandler(const char* path) {
    return ::unlink(path) == 0;
}

bool Rename(PathRef from, PathRef to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameAt(Handle folder, PathRef from, PathRef to, bool replace) {
    if (replace) return ::renameat(Fd(folder), from.c_str(), Fd(folder), to.c_str()) == 0;
    return ::renameat2(Fd(folder), from.c_str(), Fd(folder), to.c_str(), RENAME_NOREPLACE) == 0;
}

bool HardLink(PathRef from, PathRef to) {
    return ::link(from.c_str(), to.c_str()) == 0;
}

bool ReadLink(PathRef path, std::string& target) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n < 0) return false;
    target.assign(buf, static_cast<size_t>(n));
    return true;
}

bool RealPath(PathRef path, std::string& out) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return false;
    out = real;
    std::free(real);
    return true;
}

bool ListFolder(PathRef path, const std::function<bool(const FolderEntry&)>& visit) {
    DIR* d = ::opendir(path.c_str());
    return d != nullptr && List(d, visit);
}

bool ListFolder(Handle folder, const std::function<bool(const FolderEntry&)>& visit) {
    // fdopendir takes the descriptor it is given: a copy, so the caller's
    // stays; the copy shares its position, which starts over.
    const int fd = ::fcntl(Fd(folder), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return false;
    DIR* d = ::fdopendir(fd);
    if (d == nullptr) {
        ::close(fd);
        return false;
    }
    ::rewinddir(d);
    return List(d, visit);
}

Handle CreateUnique(PathRef prefix, std::string& made) {
    std::string path = std::string(prefix.c_str()) + "XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) made = path;
    return fd;
}

Handle CreateNameless(PathRef folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return kNoHandle;
    std::string path;
    const Handle named = CreateUnique(std::string(folder.c_str()) + "/.pkzip-work-", path);
    if (named >= 0) ::unlink(path.c_str());
    return named;
}

bool Map(Handle h, size_t size, Mapping& out) {
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, Fd(h), 0);
    if (p == MAP_FAILED) return false;
    out.data = static_cast<const unsigned char*>(p);
    out.size = size;
    return true;
}

void Unmap(Mapping& m) {
    if (m.data != nullptr) ::munmap(const_cast<unsigned char*>(m.data), m.size);
    m = Mapping{};
}

void ReleasePages(const Mapping& m) {
    if (m.data != nullptr) ::madvise(const_cast<unsigned char*>(m.data), m.size, MADV_DONTNEED);
}

bool InputCanAnswer() {
    if (::isatty(0)) return true;
    struct stat st;
    return ::fstat(0, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

}  // namespace stowaway::os
