#include "platform/Win32Folder.h"

#include "platform/Win32Text.h"

namespace stowaway {

namespace {

std::optional<BY_HANDLE_FILE_INFORMATION> InfoThroughLinks(const std::string& path) {
    HANDLE file = ::CreateFileW(ApiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    if (!ok) return std::nullopt;
    return info;
}

}  // namespace

std::time_t FileTimeToUnix(const FILETIME& time) {
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    constexpr std::int64_t From1601To1970 = 116444736000000000;
    const std::int64_t since = ticks - From1601To1970;
    // Whole seconds, rounded down for times before 1970 too.
    return static_cast<std::time_t>(since >= 0 ? since / 10000000
                                               : -((-since + 9999999) / 10000000));
}

std::unique_ptr<Win32Folder> Win32Folder::Open(const std::string& path) {
    std::string folder = path;
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/') &&
           !(folder.size() == 3 && folder[1] == ':'))
        folder.pop_back();
    const bool endsInSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    const std::string pattern = folder + (endsInSeparator ? "*" : "\\*");
    WIN32_FIND_DATAW first{};
    HANDLE search = ::FindFirstFileExW(ApiPath(pattern).c_str(), FindExInfoBasic, &first,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE)
        return std::unique_ptr<Win32Folder>(new Win32Folder(search, folder, first));
    // An empty drive has no "." to find; anything else that finds nothing is no folder.
    const DWORD attributes = ::GetFileAttributesW(ApiPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return nullptr;
    auto empty = std::unique_ptr<Win32Folder>(new Win32Folder(INVALID_HANDLE_VALUE, folder, first));
    empty->pending_ = false;
    return empty;
}

Win32Folder::~Win32Folder() {
    if (search_ != INVALID_HANDLE_VALUE) ::FindClose(search_);
}

bool Win32Folder::next(FolderEntry& entry) {
    for (;;) {
        if (!pending_) {
            if (search_ == INVALID_HANDLE_VALUE) return false;
            if (!::FindNextFileW(search_, &data_)) {
                failed_ = ::GetLastError() != ERROR_NO_MORE_FILES;
                return false;
            }
        }
        pending_ = false;
        const std::wstring_view name(data_.cFileName);
        if (name == L"." || name == L"..") continue;
        name_ = fromWide(name);
        const DWORD attributes = data_.dwFileAttributes;
        // A symbolic link or a junction; other reparse points (cloud files,
        // deduplicated files) are files and folders like any other.
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                          (data_.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                           data_.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        entry.name = name_;
        entry.isLink = link;
        entry.isFolder = !link && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        entry.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        entry.system = (attributes & FILE_ATTRIBUTE_DEVICE) != 0;
        return true;
    }
}

std::optional<std::time_t> Win32Folder::modified(const std::string& name) const {
    const auto info = InfoThroughLinks(folder_ + "\\" + name);
    if (!info) return std::nullopt;
    return FileTimeToUnix(info->ftLastWriteTime);
}

bool Win32Folder::holdsFolder(const std::string& name) const {
    const auto info = InfoThroughLinks(folder_ + "\\" + name);
    return info && (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace stowaway
