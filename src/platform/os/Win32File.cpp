#include <windows.h>
#include <winternl.h>

#include <io.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/NativeText.h"
#include "platform/os/File.h"

namespace stowaway::os {
namespace {

// Ticks of 100 ns between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr int64_t kEpochTicks = 116444736000000000LL;

HANDLE Native(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}
Handle Wrap(HANDLE h) {
    return h == INVALID_HANDLE_VALUE || h == nullptr ? kNoHandle : reinterpret_cast<Handle>(h);
}

// The codes the tools' messages are made from, as POSIX names them.
int CodeOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DELETE_PENDING:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_CANT_RESOLVE_FILENAME:
        case 681:  // ERROR_STOPPED_ON_SYMLINK
            return ELOOP;
        case ERROR_CALL_NOT_IMPLEMENTED:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
            return ENOSYS;
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

// Every failure leaves its code where LastError() finds it.
void Fail(DWORD error) {
    errno = CodeOf(error);
}
void FailLast() {
    Fail(::GetLastError());
}
void FailStatus(NTSTATUS status) {
    Fail(::RtlNtStatusToDosError(status));
}

std::wstring Wide(PathRef path) {
    const std::u16string p = LongPathForm(Utf8ToUtf16(path.c_str()));
    return std::wstring(p.begin(), p.end());
}
std::wstring WideName(PathRef name) {
    const std::u16string p = Utf8ToUtf16(name.c_str());
    return std::wstring(p.begin(), p.end());
}
std::string Narrow(std::wstring_view wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

FileTime TimeOf(int64_t ticks) {
    return (ticks - kEpochTicks) * 100;
}
int64_t TicksOf(FileTime t) {
    // Toward the earlier tick, as a time before 1970 is negative.
    const int64_t ticks = t >= 0 ? t / 100 : -((-t + 99) / 100);
    return ticks + kEpochTicks;
}
int64_t Ticks(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) |
                                ft.dwLowDateTime);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsReparsePoint(HANDLE h) {
    FILE_BASIC_INFO basic{};
    return ::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A name relative to an open folder, opened with the native call that takes
// the folder's handle: nothing is looked up by path, and no link is
// followed on the way (reparse points are opened themselves).
HANDLE OpenRelative(HANDLE folder, PathRef name, ACCESS_MASK access, ULONG disposition,
                    ULONG options, ULONG attributes = FILE_ATTRIBUTE_NORMAL) {
    std::wstring wide = WideName(name);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    UNICODE_STRING text;
    text.Buffer = wide.data();
    text.Length = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attr;
    InitializeObjectAttributes(&attr, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&h, access | SYNCHRONIZE, &attr, &io, nullptr, attributes, kShareAll,
                       disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) {
        FailStatus(status);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// The folder an open handle stands for, as a path the wide calls take.
bool PathOf(HANDLE h, std::wstring& out) {
    std::vector<wchar_t> buf(512);
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            FailLast();
            return false;
        }
        if (n < buf.size()) {
            out.assign(buf.data(), n);
            return true;
        }
        buf.resize(n + 1);
    }
}

bool Joined(Handle folder, PathRef name, std::wstring& out) {
    if (!PathOf(Native(folder), out)) return false;
    if (!out.empty() && out.back() != L'\\') out += L'\\';
    std::wstring leaf = WideName(name);
    for (wchar_t& c : leaf)
        if (c == L'/') c = L'\\';
    out += leaf;
    return true;
}

// Renames the open file; the new name goes at once and replaces, where the
// system has it, as POSIX does (a reader of the replaced file keeps it).
bool RenameHandle(HANDLE h, const std::wstring& to, bool replace) {
    struct RenameInfo {
        DWORD Flags;
        HANDLE RootDirectory;
        DWORD FileNameLength;
        WCHAR FileName[1];
    };
    std::vector<unsigned char> buf(sizeof(RenameInfo) + to.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<RenameInfo*>(buf.data());
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, to.c_str(), (to.size() + 1) * sizeof(wchar_t));
    constexpr DWORD kReplace = 0x1, kPosix = 0x2;
    info->Flags = kPosix | (replace ? kReplace : 0);
    if (::SetFileInformationByHandle(h, static_cast<FILE_INFO_BY_HANDLE_CLASS>(22), info,
                                     static_cast<DWORD>(buf.size())))
        return true;  // FileRenameInfoEx
    const DWORD err = ::GetLastError();
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) {
        Fail(err);
        return false;
    }
    // Before Windows 10 (and under Wine): the plain rename, which replaces too.
    info->Flags = replace ? 1 : 0;  // ReplaceIfExists, a BOOLEAN in the same place
    if (::SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buf.size())))
        return true;
    FailLast();
    return false;
}

bool DeleteHandle(HANDLE h) {
    constexpr DWORD kDelete = 0x1, kPosix = 0x2;
    DWORD flags = kDelete | kPosix;
    if (::SetFileInformationByHandle(h, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &flags,
                                     sizeof flags))
        return true;  // FileDispositionInfoEx: the name goes at once
    FILE_DISPOSITION_INFO plain{};
    plain.DeleteFile = TRUE;
    if (::SetFileInformationByHandle(h, FileDispositionInfo, &plain, sizeof plain)) return true;
    FailLast();
    return false;
}

HANDLE OpenForDelete(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
}

// Without POSIX renames a file that is open cannot be replaced, even one
// opened to share deleting; it can be moved, though: it moves aside, the new
// one takes its name, and the old one goes once its readers close it.
bool ReplaceOpenFile(const std::wstring& from, const std::wstring& to) {
    const std::wstring aside = to + L".pkzip-replaced-" + std::to_wstring(::GetCurrentProcessId()) +
                               L"-" + std::to_wstring(::GetTickCount64());
    if (!::MoveFileExW(to.c_str(), aside.c_str(), 0)) {
        FailLast();
        return false;
    }
    if (!::MoveFileExW(from.c_str(), to.c_str(), 0)) {
        const DWORD err = ::GetLastError();
        ::MoveFileExW(aside.c_str(), to.c_str(), 0);
        Fail(err);
        return false;
    }
    const HANDLE old = OpenForDelete(aside);
    if (old != INVALID_HANDLE_VALUE) {
        DeleteHandle(old);
        ::CloseHandle(old);
    }
    return true;
}

bool RenamePath(const std::wstring& from, const std::wstring& to, bool replace) {
    const HANDLE h = OpenForDelete(from);
    if (h == INVALID_HANDLE_VALUE) {
        FailLast();
        return false;
    }
    bool ok = RenameHandle(h, to, replace);
    const int code = errno;
    ::CloseHandle(h);
    if (!ok && code != EEXIST) {
        // A file system that refuses the handle's rename: the path's.
        ok = ::MoveFileExW(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (ok) return true;
        FailLast();
        if (replace && errno == EACCES) return ReplaceOpenFile(from, to);
        return false;
    }
    errno = code;
    return ok;
}

bool FillFolderEntries(const std::wstring& folder,
                       const std::function<bool(const FolderEntry&)>& visit) {
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const HANDLE find =
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        FailLast();
        return false;
    }
    do {
        const std::wstring_view wide = data.cFileName;
        if (wide == L"." || wide == L"..") continue;
        const std::string name = Narrow(wide);
        const FileType type =
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FileType::Link
            : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? FileType::Folder
                                                                   : FileType::File;
        if (!visit(FolderEntry{name, type})) break;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return true;
}

bool StatHandle(HANDLE h, FileInfo& info) {
    const DWORD kind = ::GetFileType(h);
    if (kind != FILE_TYPE_DISK) {
        info = FileInfo{};
        info.type = FileType::Other;
        info.mode = kind == FILE_TYPE_PIPE ? 0010600 : 0020600;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION by{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(h, &by) ||
        !::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
        FailLast();
        return false;
    }
    const DWORD attrs = basic.FileAttributes;
    info.type = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) ? FileType::Link
                : (attrs & FILE_ATTRIBUTE_DIRECTORY)   ? FileType::Folder
                                                       : FileType::File;
    info.size = info.type == FileType::File
                    ? (static_cast<uint64_t>(by.nFileSizeHigh) << 32) | by.nFileSizeLow
                    : 0;
    info.modified = TimeOf(basic.LastWriteTime.QuadPart);
    info.changed = TimeOf(basic.ChangeTime.QuadPart);
    const uint32_t write = (attrs & FILE_ATTRIBUTE_READONLY) ? 0 : 0200;
    info.mode = info.type == FileType::Folder ? 0040555 | write
                : info.type == FileType::Link ? 0120777
                                              : 0100444 | write;
    info.device = by.dwVolumeSerialNumber;
    info.index = (static_cast<uint64_t>(by.nFileIndexHigh) << 32) | by.nFileIndexLow;
    info.links = by.nNumberOfLinks;
    info.owner = info.group = 0;
    return true;
}

DWORD Access(unsigned flags) {
    DWORD access = 0;
    if (flags & kRead) access |= GENERIC_READ;
    if (flags & kWrite) access |= GENERIC_WRITE;
    if (flags & kAppend)
        access = (access & ~GENERIC_WRITE) | FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES;
    if (flags & kFolder) access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE;
    if (access == 0) access = FILE_READ_ATTRIBUTES;
    return access;
}

// A folder is opened to write its attributes too (its time is set after a
// restore) when the user may; else to look into it.
HANDLE OpenFolderPath(const std::wstring& path, DWORD extraFlags) {
    const DWORD folderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE;
    HANDLE h = ::CreateFileW(path.c_str(), folderAccess | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
        h = ::CreateFileW(path.c_str(), folderAccess, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
    return h;
}

bool CheckOpened(HANDLE h, unsigned flags) {
    if (h == INVALID_HANDLE_VALUE) {
        FailLast();
        return false;
    }
    if ((flags & kNoFollow) && IsReparsePoint(h)) {
        ::CloseHandle(h);
        errno = ELOOP;
        return false;
    }
    if (flags & kFolder) {
        FILE_BASIC_INFO basic{};
        if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
            !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::CloseHandle(h);
            errno = ENOTDIR;
            return false;
        }
    }
    return true;
}

}  // namespace

int LastError() {
    return errno;
}

std::string ErrorText(int code) {
    // The C library here lacks texts for the codes POSIX added later.
    switch (code) {
        case ELOOP:
            return "Too many levels of symbolic links";
        case EOPNOTSUPP:
            return "Operation not supported";
        case ENOSYS:
            return "Function not implemented";
        case EFBIG:
            return "File too large";
        default:
            return std::strerror(code);
    }
}

FileTime Now() {
    FILETIME ft;
    ::GetSystemTimePreciseAsFileTime(&ft);
    return TimeOf(Ticks(ft));
}

bool LocalTime(int64_t seconds, std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    return ::localtime_s(&out, &t) == 0;
}

Handle Open(PathRef path, unsigned flags, uint32_t mode) {
    const std::wstring wide = Wide(path);
    const DWORD extra = (flags & kNoFollow) ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    HANDLE h;
    if (flags & kFolder) {
        h = OpenFolderPath(wide, extra);
    } else {
        DWORD disposition = OPEN_EXISTING;
        if ((flags & kCreate) && (flags & kExclusive)) {
            disposition = CREATE_NEW;
        } else if ((flags & kCreate) && (flags & kTruncate)) {
            disposition = CREATE_ALWAYS;
        } else if (flags & kCreate) {
            disposition = OPEN_ALWAYS;
        } else if (flags & kTruncate) {
            disposition = TRUNCATE_EXISTING;
        }
        const DWORD attributes =
            (flags & kCreate) && !(mode & 0200) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
        h = ::CreateFileW(wide.c_str(), Access(flags), kShareAll, nullptr, disposition,
                          attributes | FILE_FLAG_BACKUP_SEMANTICS | extra, nullptr);
    }
    if (!CheckOpened(h, flags)) return kNoHandle;
    if (flags & kAppend) {
        LARGE_INTEGER zero{};
        ::SetFilePointerEx(h, zero, nullptr, FILE_END);
    }
    return Wrap(h);
}

Handle OpenAt(Handle folder, PathRef name, unsigned flags, uint32_t mode) {
    ULONG disposition = FILE_OPEN;
    if ((flags & kCreate) && (flags & kExclusive)) {
        disposition = FILE_CREATE;
    } else if ((flags & kCreate) && (flags & kTruncate)) {
        disposition = FILE_OVERWRITE_IF;
    } else if (flags & kCreate) {
        disposition = FILE_OPEN_IF;
    } else if (flags & kTruncate) {
        disposition = FILE_OVERWRITE;
    }
    ULONG options = FILE_OPEN_FOR_BACKUP_INTENT;
    if (flags & kNoFollow) options |= FILE_OPEN_REPARSE_POINT;
    options |= (flags & kFolder) ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
    ACCESS_MASK access = 0;
    if (flags & kFolder) {
        access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE | FILE_WRITE_ATTRIBUTES;
    } else {
        if (flags & kRead) access |= FILE_GENERIC_READ;
        if (flags & kWrite) access |= FILE_GENERIC_WRITE;
        if (flags & kAppend) access |= FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES;
        if (access == 0) access = FILE_READ_ATTRIBUTES;
    }
    const ULONG attributes =
        (flags & kCreate) && !(mode & 0200) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    HANDLE h = OpenRelative(Native(folder), name, access, disposition, options, attributes);
    if (h == INVALID_HANDLE_VALUE && (flags & kFolder) && errno == EACCES)
        h = OpenRelative(Native(folder), name, access & ~FILE_WRITE_ATTRIBUTES, disposition,
                         options);
    if (h == INVALID_HANDLE_VALUE) return kNoHandle;  // its code is set already
    if (!CheckOpened(h, flags)) return kNoHandle;
    if (flags & kAppend) {
        LARGE_INTEGER zero{};
        ::SetFilePointerEx(h, zero, nullptr, FILE_END);
    }
    return Wrap(h);
}

Handle OpenFolderBeneath(Handle folder, PathRef relativePath) {
    const std::string relative = relativePath.c_str();
    HANDLE at = INVALID_HANDLE_VALUE;
    if (!::DuplicateHandle(::GetCurrentProcess(), Native(folder), ::GetCurrentProcess(), &at, 0,
                           FALSE, DUPLICATE_SAME_ACCESS)) {
        FailLast();
        return kNoHandle;
    }
    for (size_t pos = 0; pos <= relative.size();) {
        size_t slash = relative.find_first_of("/\\", pos);
        if (slash == std::string::npos) slash = relative.size();
        const std::string part = relative.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.find(':') != std::string::npos) {
            ::CloseHandle(at);
            errno = EXDEV;
            return kNoHandle;
        }
        const HANDLE sub = static_cast<HANDLE>(
            reinterpret_cast<void*>(OpenAt(Wrap(at), part, kRead | kFolder | kNoFollow)));
        const int err = errno;
        ::CloseHandle(at);
        if (sub == INVALID_HANDLE_VALUE) {
            errno = err;
            return kNoHandle;
        }
        at = sub;
    }
    return Wrap(at);
}

bool Close(Handle h) {
    return h == kNoHandle || ::CloseHandle(Native(h));
}

Handle Inherited(int number) {
    const intptr_t h = ::_get_osfhandle(number);
    if (h == -1 || h == -2) {
        errno = EBADF;
        return kNoHandle;
    }
    return h;
}

Handle Duplicate(Handle h) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!::DuplicateHandle(::GetCurrentProcess(), Native(h), ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        FailLast();
        return kNoHandle;
    }
    return Wrap(copy);
}

// ReadFile and WriteFile at an offset move a synchronous handle's position:
// it is put back, so positioned calls leave the sequential one alone as
// pread and pwrite do (for a handle used from one thread at a time).
int64_t ReadAt(Handle h, void* buf, size_t n, uint64_t offset) {
    LARGE_INTEGER zero{}, was{};
    const bool kept = ::SetFilePointerEx(Native(h), zero, &was, FILE_CURRENT);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    const bool ok = ::ReadFile(Native(h), buf, want, &done, &at);
    const DWORD err = ::GetLastError();
    if (kept) ::SetFilePointerEx(Native(h), was, nullptr, FILE_BEGIN);
    if (ok) return done;
    if (err == ERROR_HANDLE_EOF) return 0;
    Fail(err);
    return -1;
}

int64_t WriteAt(Handle h, const void* buf, size_t n, uint64_t offset) {
    LARGE_INTEGER zero{}, was{};
    const bool kept = ::SetFilePointerEx(Native(h), zero, &was, FILE_CURRENT);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    const bool ok = ::WriteFile(Native(h), buf, want, &done, &at);
    const DWORD err = ::GetLastError();
    if (kept) ::SetFilePointerEx(Native(h), was, nullptr, FILE_BEGIN);
    if (ok) return done;
    Fail(err);
    return -1;
}

int64_t Read(Handle h, void* buf, size_t n) {
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    if (::ReadFile(Native(h), buf, want, &done, nullptr)) return done;
    const DWORD err = ::GetLastError();
    if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE) return 0;  // the writer is gone
    Fail(err);
    return -1;
}

int64_t Write(Handle h, const void* buf, size_t n) {
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    if (::WriteFile(Native(h), buf, want, &done, nullptr)) return done;
    FailLast();
    return -1;
}

bool Rewind(Handle h) {
    LARGE_INTEGER zero{};
    if (::SetFilePointerEx(Native(h), zero, nullptr, FILE_BEGIN)) return true;
    FailLast();
    return false;
}

void WillReadThrough(Handle) {}

int64_t CopyRange(Handle, uint64_t*, Handle, uint64_t*, size_t) {
    errno = ENOSYS;  // the caller copies through its own buffer
    return -1;
}

bool Stat(Handle h, FileInfo& info) {
    return StatHandle(Native(h), info);
}

bool StatPath(PathRef path, FileInfo& info, bool follow) {
    const std::wstring wide = Wide(path);
    const HANDLE h = ::CreateFileW(
        wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        FailLast();
        return false;
    }
    const bool ok = StatHandle(h, info);
    ::CloseHandle(h);
    return ok;
}

bool StatAt(Handle folder, PathRef name, FileInfo& info, bool follow) {
    const HANDLE h =
        OpenRelative(Native(folder), name, FILE_READ_ATTRIBUTES, FILE_OPEN,
                     FILE_OPEN_FOR_BACKUP_INTENT | (follow ? 0 : FILE_OPEN_REPARSE_POINT));
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = StatHandle(h, info);
    ::CloseHandle(h);
    return ok;
}

bool MayWrite(PathRef path) {
    const DWORD attrs = ::GetFileAttributesW(Wide(path).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        FailLast();
        return false;
    }
    if (attrs & FILE_ATTRIBUTE_READONLY) {
        errno = EACCES;
        return false;
    }
    return true;
}

bool Sync(Handle h) {
    if (::FlushFileBuffers(Native(h))) return true;
    FailLast();
    return false;
}

void SyncFolder(PathRef) {}  // a rename is in the journal of NTFS once it returns

bool Truncate(Handle h, uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(Native(h), FileEndOfFileInfo, &end, sizeof end)) return true;
    FailLast();
    return false;
}

int Reserve(Handle, uint64_t, uint64_t) {
    return 0;  // a full medium shows on the write
}

bool SetModified(Handle h, FileTime modified) {
    FILE_BASIC_INFO basic{};  // zero times stay as they are
    basic.LastWriteTime.QuadPart = TicksOf(modified);
    if (::SetFileInformationByHandle(Native(h), FileBasicInfo, &basic, sizeof basic)) return true;
    FailLast();
    return false;
}

bool SetMode(Handle h, uint32_t mode) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(Native(h), FileBasicInfo, &basic, sizeof basic)) {
        FailLast();
        return false;
    }
    const DWORD was = basic.FileAttributes;
    DWORD now = (mode & 0200) ? was & ~FILE_ATTRIBUTE_READONLY : was | FILE_ATTRIBUTE_READONLY;
    if (now == was) return true;
    if (now == 0) now = FILE_ATTRIBUTE_NORMAL;
    FILE_BASIC_INFO change{};
    change.FileAttributes = now;
    if (::SetFileInformationByHandle(Native(h), FileBasicInfo, &change, sizeof change)) return true;
    FailLast();
    return false;
}

bool SetPathMode(PathRef path, uint32_t mode) {
    const std::wstring wide = Wide(path);
    const DWORD was = ::GetFileAttributesW(wide.c_str());
    if (was == INVALID_FILE_ATTRIBUTES) {
        FailLast();
        return false;
    }
    DWORD now = (mode & 0200) ? was & ~FILE_ATTRIBUTE_READONLY : was | FILE_ATTRIBUTE_READONLY;
    if (now == was) return true;
    if (now == 0) now = FILE_ATTRIBUTE_NORMAL;
    if (::SetFileAttributesW(wide.c_str(), now)) return true;
    FailLast();
    return false;
}

uint32_t CreationMask() {
    return 022;
}

bool KeepOwner(Handle, const FileInfo&) {
    return true;  // a new file takes its folder's permissions
}

bool MakeFolder(PathRef path, uint32_t) {
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
    FailLast();
    return false;
}

bool MakeFolderAt(Handle folder, PathRef name, uint32_t) {
    const HANDLE h = OpenRelative(Native(folder), name, FILE_LIST_DIRECTORY, FILE_CREATE,
                                  FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool Remove(PathRef path) {
    const HANDLE h = OpenForDelete(Wide(path));
    if (h == INVALID_HANDLE_VALUE) {
        FailLast();
        return false;
    }
    const bool ok = DeleteHandle(h);
    const int code = errno;
    ::CloseHandle(h);
    errno = code;
    return ok;
}

bool RemoveAt(Handle folder, PathRef name) {
    const HANDLE h = OpenRelative(Native(folder), name, DELETE | FILE_READ_ATTRIBUTES, FILE_OPEN,
                                  FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = DeleteHandle(h);
    const int code = errno;
    ::CloseHandle(h);
    errno = code;
    return ok;
}

bool RemoveInHandler(const char* path) {
    // The interruption runs on a thread of its own here: it may allocate.
    return ::DeleteFileW(Wide(path).c_str()) != 0;
}

bool Rename(PathRef from, PathRef to) {
    return RenamePath(Wide(from), Wide(to), true);
}

bool RenameAt(Handle folder, PathRef from, PathRef to, bool replace) {
    std::wstring source, target;
    if (!Joined(folder, from, source) || !Joined(folder, to, target)) return false;
    return RenamePath(source, target, replace);
}

bool HardLink(PathRef from, PathRef to) {
    if (::CreateHardLinkW(Wide(to).c_str(), Wide(from).c_str(), nullptr)) return true;
    FailLast();
    return false;
}

bool ReadLink(PathRef path, std::string& target) {
    // What the link leads to, resolved: the system keeps no plain link text.
    const HANDLE h = ::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        FailLast();
        return false;
    }
    std::wstring wide;
    const bool ok = PathOf(h, wide);
    ::CloseHandle(h);
    if (!ok) return false;
    const std::u16string plain = WithoutLongPathPrefix(std::u16string(wide.begin(), wide.end()));
    target = Utf16ToUtf8(plain);
    for (char& c : target)
        if (c == '\\') c = '/';
    return true;
}

bool RealPath(PathRef path, std::string& out) {
    return ReadLink(path, out);
}

bool ListFolder(PathRef path, const std::function<bool(const FolderEntry&)>& visit) {
    return FillFolderEntries(Wide(path), visit);
}

bool ListFolder(Handle folder, const std::function<bool(const FolderEntry&)>& visit) {
    std::wstring path;
    return PathOf(Native(folder), path) && FillFolderEntries(path, visit);
}

Handle CreateUnique(PathRef prefix, std::string& made) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 rng{std::random_device{}() ^ ::GetCurrentProcessId()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix.c_str();
        for (int i = 0; i < 6; ++i) path += kLetters[rng() % (sizeof kLetters - 1)];
        const HANDLE h =
            ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            made = path;
            return Wrap(h);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    FailLast();
    return kNoHandle;
}

Handle CreateNameless(PathRef folder) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 rng{std::random_device{}() ^ ::GetCurrentProcessId()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = std::string(folder.c_str()) + "/.pkzip-work-";
        for (int i = 0; i < 6; ++i) path += kLetters[rng() % (sizeof kLetters - 1)];
        // Deleted when the last handle (or mapping) goes, whatever ends the run.
        const HANDLE h = ::CreateFileW(
            Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll, nullptr,
            CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            // Where the system can, the name goes at once, as O_TMPFILE has none.
            constexpr DWORD kDelete = 0x1, kPosix = 0x2;
            DWORD flags = kDelete | kPosix;
            ::SetFileInformationByHandle(h, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &flags,
                                         sizeof flags);
            return Wrap(h);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    FailLast();
    return kNoHandle;
}

bool Map(Handle h, size_t size, Mapping& out) {
    const uint64_t wide = size;
    const HANDLE mapping =
        ::CreateFileMappingW(Native(h), nullptr, PAGE_READONLY, static_cast<DWORD>(wide >> 32),
                             static_cast<DWORD>(wide), nullptr);
    if (mapping == nullptr) {
        FailLast();
        return false;
    }
    void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
    if (view == nullptr) {
        FailLast();
        ::CloseHandle(mapping);
        return false;
    }
    out.data = static_cast<const unsigned char*>(view);
    out.size = size;
    out.native = mapping;
    return true;
}

void Unmap(Mapping& m) {
    if (m.data != nullptr) ::UnmapViewOfFile(m.data);
    if (m.native != nullptr) ::CloseHandle(static_cast<HANDLE>(m.native));
    m = Mapping{};
}

void ReleasePages(const Mapping& m) {
    // Unlocking pages that are not locked takes them out of the working set.
    if (m.data != nullptr) ::VirtualUnlock(const_cast<unsigned char*>(m.data), m.size);
}

bool InputCanAnswer() {
    const DWORD kind = ::GetFileType(::GetStdHandle(STD_INPUT_HANDLE));
    return kind == FILE_TYPE_CHAR || kind == FILE_TYPE_PIPE;
}

}  // namespace stowaway::os
