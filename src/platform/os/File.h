// The tools' way to files: what the archiver needs of the OS, the same on
// every system. Paths are UTF-8. A failed call returns false (or -1, or
// kNoHandle) and leaves an errno-like code in LastError(), so a message reads
// the same whichever system it comes from.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace stowaway::os {

// A path or name handed in: a std::string or a NUL-terminated text, taken
// without a copy.
class PathRef {
  public:
    PathRef(const std::string& s) : p_(s.c_str()) {}  // NOLINT: both convert
    PathRef(const char* p) : p_(p) {}                 // NOLINT
    const char* c_str() const { return p_; }

  private:
    const char* p_;
};

// A descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Paths inside the tools put '/' between names. Where a path comes in (the
// command line, a list file), Windows' backslash becomes '/'; on POSIX
// nothing changes, as a backslash is a letter of a name there.
inline void UsePortableSeparators(char* begin, char* end) {
#ifdef _WIN32
    for (char* p = begin; p != end; ++p)
        if (*p == '\\') *p = '/';
#else
    (void)begin;
    (void)end;
#endif
}
inline void UsePortableSeparators(std::string& path) {
    UsePortableSeparators(path.data(), path.data() + path.size());
}
// The drive that starts an absolute path on Windows ("C:"), which a name
// stored under the full path leaves out as it leaves out the first '/': its
// length, 0 when there is none (always on POSIX).
inline std::size_t DriveLength(std::string_view path) {
#ifdef _WIN32
    const bool letter =
        !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path.size() >= 2 && path[1] == ':' ? 2 : 0;
#else
    (void)path;
    return 0;
#endif
}

// The code of the calling thread's last failure (ENOENT, EEXIST, ENOSPC, ...)
// and its text.
int LastError();
std::string ErrorText(int code);

// Nanoseconds since 1970-01-01 UTC.
using FileTime = std::int64_t;
inline constexpr FileTime kNanosPerSecond = 1'000'000'000;
inline std::int64_t Seconds(FileTime t) {
    return t >= 0 ? t / kNanosPerSecond : -((-t + kNanosPerSecond - 1) / kNanosPerSecond);
}
inline std::uint32_t SubsecondNanos(FileTime t) {
    return static_cast<std::uint32_t>(t - Seconds(t) * kNanosPerSecond);
}
// Times outside 1678..2262 (an archive may claim any) are held at the nearest end.
inline FileTime MakeTime(std::int64_t seconds, std::uint32_t nanos) {
    constexpr std::int64_t kLast = INT64_MAX / kNanosPerSecond - 1;
    if (seconds > kLast) return kLast * kNanosPerSecond;
    if (seconds < -kLast) return -kLast * kNanosPerSecond;
    return seconds * kNanosPerSecond + nanos % kNanosPerSecond;
}
FileTime Now();
// The local calendar time of `seconds` since 1970; false when the system cannot tell.
bool LocalTime(std::int64_t seconds, std::tm& out);

enum class FileType : std::uint8_t { Other, File, Folder, Link };

// What a stat gives. `mode` holds the Unix type and permission bits (made up
// from the attributes on Windows), as archives store them.
struct FileInfo {
    FileType type = FileType::Other;
    std::uint64_t size = 0;
    FileTime modified = 0;
    FileTime changed = 0;  // status change (Windows: the change time of the file)
    std::uint32_t mode = 0;
    std::uint64_t device = 0;  // with `index`: which file it is
    std::uint64_t index = 0;
    std::uint32_t links = 1;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};
inline bool SameFile(const FileInfo& a, const FileInfo& b) {
    return a.device == b.device && a.index == b.index;
}

enum OpenFlags : unsigned {
    kRead = 1u << 0,
    kWrite = 1u << 1,
    kCreate = 1u << 2,
    kExclusive = 1u << 3,  // with kCreate: fails when the name is taken
    kTruncate = 1u << 4,
    kAppend = 1u << 5,
    kNoFollow = 1u << 6,    // the last name must not be a link
    kFolder = 1u << 7,      // a folder, opened to look things up in it
    kSource = 1u << 8,      // a file to read that may be a FIFO or device: never waits to open
    kLookupOnly = 1u << 9,  // with kFolder: only to look names up in, not to list
};

// Every handle is closed by nothing else; on Windows every open shares
// reading, writing and deleting, so another program's rename or delete is
// never refused for it.
Handle Open(PathRef path, unsigned flags, std::uint32_t mode = 0644);
// `name` in the folder `folder` (a handle opened with kFolder).
Handle OpenAt(Handle folder, PathRef name, unsigned flags, std::uint32_t mode = 0644);
// The folder `relative` ("a/b") below `folder`, through folders only: no
// link, no "..", no way out (Windows: no reparse point). kNoHandle with
// ELOOP when a link is on the way, ENOENT when a part is missing.
Handle OpenFolderBeneath(Handle folder, PathRef relative);
// False when the system reports a late write failure (a network file system).
bool Close(Handle h);
// The descriptor `number` this process was given by the one that started it.
Handle Inherited(int number);
// The whole of a file (a list, a header) into `out`; false with LastError().
inline bool ReadWholeFile(PathRef path, std::string& out);

// A second handle to the same open file.
Handle Duplicate(Handle h);

// Positioned reads and writes; the count done or -1. Neither moves the
// sequential position on POSIX.
std::int64_t ReadAt(Handle h, void* buf, std::size_t n, std::uint64_t offset);
std::int64_t WriteAt(Handle h, const void* buf, std::size_t n, std::uint64_t offset);
// Sequential, from the handle's own position.
std::int64_t Read(Handle h, void* buf, std::size_t n);
std::int64_t Write(Handle h, const void* buf, std::size_t n);
bool Rewind(Handle h);
// The file will be read from start to end: the system may read ahead further.
void WillReadThrough(Handle h);
// Copies `n` bytes from `from` at `*fromAt` to `to` at `*toAt` inside the OS,
// moving both on. The count or -1; ENOSYS (or EXDEV, EINVAL) when the OS
// cannot, so the caller copies itself.
std::int64_t CopyRange(Handle from, std::uint64_t* fromAt, Handle to, std::uint64_t* toAt,
                       std::size_t n);

bool Stat(Handle h, FileInfo& info);
// `follow`: a link is looked through (a stat), else described (an lstat).
bool StatPath(PathRef path, FileInfo& info, bool follow = true);
bool StatAt(Handle folder, PathRef name, FileInfo& info, bool follow = false);
// Whether this user may write the file (the effective user on POSIX).
bool MayWrite(PathRef path);

bool Sync(Handle h);
// Makes renames and new names in `folder` durable (nothing to do on Windows).
void SyncFolder(PathRef folder);
bool Truncate(Handle h, std::uint64_t size);
// Reserves room for [offset, offset + n); 0 or the error's code (EFBIG,
// ENOSPC). 0 where the system cannot tell beforehand.
int Reserve(Handle h, std::uint64_t offset, std::uint64_t n);
bool SetModified(Handle h, FileTime modified);
// Permission bits (Windows: only whether the owner may write).
bool SetMode(Handle h, std::uint32_t mode);
bool SetPathMode(PathRef path, std::uint32_t mode);
// The bits a new file's mode loses (the umask; 022 on Windows).
std::uint32_t CreationMask();
// Gives the file the owner and group of `like` where this user may.
bool KeepOwner(Handle h, const FileInfo& like);

bool MakeFolder(PathRef path, std::uint32_t mode = 0755);
bool MakeFolderAt(Handle folder, PathRef name, std::uint32_t mode = 0755);
bool Remove(PathRef path);
bool RemoveAt(Handle folder, PathRef name);
// Remove for an interruption's cleanup: allocates nothing, safe in a signal handler.
bool RemoveInHandler(const char* path);
// Renames `from` to `to`, atomically replacing what `to` names.
bool Rename(PathRef from, PathRef to);
// In one folder; `replace` false: fails with EEXIST when `to` is taken.
bool RenameAt(Handle folder, PathRef from, PathRef to, bool replace);
// A second name for the file `from` (a hard link).
bool HardLink(PathRef from, PathRef to);
// A link's target.
bool ReadLink(PathRef path, std::string& target);
// The absolute path with every link and "." and ".." worked out.
bool RealPath(PathRef path, std::string& out);

// The names in a folder ("." and ".." left out) with the type the listing
// tells (Other when it does not); `visit` returns false to stop.
struct FolderEntry {
    std::string_view name;
    FileType type;
};
bool ListFolder(PathRef path, const std::function<bool(const FolderEntry&)>& visit);
bool ListFolder(Handle folder, const std::function<bool(const FolderEntry&)>& visit);

// A new file named `prefix` followed by six letters that make it new;
// `made` gets its path.
Handle CreateUnique(PathRef prefix, std::string& made);
// A work file without a name in `folder` that goes when it is closed (or,
// where the system cannot, one named and removed at once).
Handle CreateNameless(PathRef folder);

// A read-only view of a file's first `size` bytes.
struct Mapping {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    void* native = nullptr;
};
bool Map(Handle h, std::size_t size, Mapping& out);
void Unmap(Mapping& m);
// The mapping's pages may go until read again: its memory is given back.
void ReleasePages(const Mapping& m);

// Standard input, where the archiver asks for the next volume: whether
// someone (a console, or a pipe from one) can answer there.
bool InputCanAnswer();

inline bool ReadWholeFile(PathRef path, std::string& out) {
    const Handle h = Open(path, kRead | kSource);
    if (h == kNoHandle) return false;
    out.clear();
    char buf[1 << 16];
    for (;;) {
        const std::int64_t n = Read(h, buf, sizeof buf);
        if (n < 0 && LastError() == EINTR) continue;
        if (n < 0) {
            const int err = LastError();
            Close(h);
            errno = err;
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    Close(h);
    return true;
}

}  // namespace stowaway::os
