#include "platform/Win32Platform.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <sstream>
#include <utility>

#include "platform/CommandLineSplit.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"
#include "platform/Win32Folder.h"
#include "platform/Win32Text.h"

namespace stowaway {

namespace {

// A handle closed when it goes.
class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Hands the handle over; it is no longer closed here.
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void reset() {
        if (valid()) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE handle_;
};

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a name for its attributes only; links followed unless told otherwise.
// Folders open too (FILE_FLAG_BACKUP_SEMANTICS).
HANDLE OpenForInfo(const std::string& path, bool followLinks) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (!followLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    return ::CreateFileW(ApiPath(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                         OPEN_EXISTING, flags, nullptr);
}

std::optional<BY_HANDLE_FILE_INFORMATION> InfoOf(const std::string& path, bool followLinks) {
    if (HoldsNul(path)) return std::nullopt;
    Handle file(OpenForInfo(path, followLinks));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return info;
}

bool IsFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return ".";
    if (cut == 2 && path.size() > 1 && path[1] == ':') return path.substr(0, 3);
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The path a link leads to, as the file system resolves it (the path itself when
// it is no link or cannot be opened).
std::string FinalPath(const std::string& path) {
    Handle file(OpenForInfo(path, true));
    if (!file.valid()) return path;
    std::wstring buffer(512, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(
            file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) return path;
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(length + 1);
    }
    std::string resolved = fromWide(buffer);
    if (StartsWith(resolved, "\\\\?\\UNC\\"))
        resolved = "\\\\" + resolved.substr(8);
    else if (StartsWith(resolved, "\\\\?\\"))
        resolved = resolved.substr(4);
    return resolved;
}

// Temporary files of replaces that were killed before their rename: NAME.tmp-XXXXXX.
void RemoveLeftoverTemps(const std::string& target) {
    const std::string prefix = NameOf(target) + ".tmp-";
    std::unique_ptr<OpenFolder> folder = Win32Folder::Open(FolderOf(target));
    if (!folder) return;
    FolderEntry entry;
    std::vector<std::string> leftovers;
    while (folder->next(entry)) {
        const std::string name(entry.name);
        if (name.size() == prefix.size() + 6 && StartsWith(name, prefix) && !entry.isFolder &&
            !entry.isLink)
            leftovers.push_back(name);
    }
    for (const std::string& name : leftovers)
        ::DeleteFileW(ApiPath(FolderOf(target) + "\\" + name).c_str());
}

std::string RandomSuffix() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string out;
    for (int i = 0; i < 6; ++i) out += letters[device() % (sizeof letters - 1)];
    return out;
}

// The first word of a command line (the program) and where the rest starts, by
// the rules CreateProcess itself reads it with: quoted, or up to a blank.
std::string ProgramOf(const std::string& line, std::size_t& rest) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos) {
        rest = line.size();
        return {};
    }
    if (line[at] == '"') {
        const std::size_t close = line.find('"', at + 1);
        rest = close == std::string::npos ? line.size() : close + 1;
        return line.substr(at + 1, (close == std::string::npos ? line.size() : close) - at - 1);
    }
    const std::size_t end = line.find_first_of(" \t", at);
    rest = end == std::string::npos ? line.size() : end;
    return line.substr(at, rest - at);
}

}  // namespace

Win32Platform::Win32Platform(std::string programFolder)
    : Win32Platform(PathStyle::Windows(), std::move(programFolder)) {}

Win32Platform::Win32Platform(PathStyle style, std::string programFolder)
    : style_(style), programFolder_(std::move(programFolder)) {
    if (programFolder_.empty()) programFolder_ = ExecutableFolder();
}

Win32Platform::~Win32Platform() = default;

std::string Win32Platform::ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return ".";
        // A path that does not fit is cut short and the length is the buffer's.
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string path = fromWide(buffer);
    if (StartsWith(path, "\\\\?\\")) path = path.substr(4);
    return FolderOf(path);
}

std::string Win32Platform::windowsDir() const {
    std::array<wchar_t, MAX_PATH + 1> buffer{};
    const UINT length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return "C:\\Windows";
    return fromWide(std::wstring_view(buffer.data(), length));
}

std::unique_ptr<OpenFolder> Win32Platform::openFolder(const std::string& folder) const {
    if (HoldsNul(folder)) return nullptr;
    return Win32Folder::Open(native(folder));
}

std::optional<std::time_t> Win32Platform::fileModified(const std::string& path) const {
    const auto info = InfoOf(native(path), true);
    if (!info) return std::nullopt;
    return FileTimeToUnix(info->ftLastWriteTime);
}

std::optional<std::uint64_t> Win32Platform::fileSize(const std::string& path) const {
    const auto info = InfoOf(native(path), true);
    if (!info || IsFolder(info->dwFileAttributes)) return std::nullopt;
    return SizeOf(*info);
}

bool Win32Platform::fileExists(const std::string& path) const {
    const auto info = InfoOf(native(path), true);
    return info && !IsFolder(info->dwFileAttributes);
}

bool Win32Platform::folderExists(const std::string& path) const {
    const auto info = InfoOf(native(path), true);
    return info && IsFolder(info->dwFileAttributes);
}

bool Win32Platform::removeFile(const std::string& path) const {
    return !HoldsNul(path) && ::DeleteFileW(ApiPath(native(path)).c_str()) != 0;
}

std::optional<FileInfo> Win32Platform::fileInfo(const std::string& path) const {
    const auto info = InfoOf(native(path), false);
    if (!info) return std::nullopt;
    FileInfo out;
    out.device = info->dwVolumeSerialNumber;
    out.inode = (static_cast<std::uint64_t>(info->nFileIndexHigh) << 32) | info->nFileIndexLow;
    out.size = SizeOf(*info);
    out.links = info->nNumberOfLinks;
    out.modified = FileTimeToUnix(info->ftLastWriteTime);
    out.regular =
        (info->dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
    return out;
}

LinkStatus Win32Platform::makeHardLink(const std::string& existing, const std::string& link) const {
    if (HoldsNul(existing) || HoldsNul(link)) return LinkStatus::Failed;
    if (::CreateHardLinkW(ApiPath(native(link)).c_str(), ApiPath(native(existing)).c_str(),
                          nullptr))
        return LinkStatus::Linked;
    switch (::GetLastError()) {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return LinkStatus::Exists;
        case ERROR_NOT_SAME_DEVICE:
        case ERROR_INVALID_FUNCTION:  // FAT and exFAT: no links there
        case ERROR_NOT_SUPPORTED:
        case ERROR_TOO_MANY_LINKS:
            return LinkStatus::Unsupported;
        default:
            return LinkStatus::Failed;
    }
}

bool Win32Platform::readFileRange(const std::string& path, std::uint64_t offset, std::size_t length,
                                  std::string& contents) const {
    contents.clear();
    if (HoldsNul(path)) return false;
    Handle file(::CreateFileW(ApiPath(native(path)).c_str(), GENERIC_READ, ShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.get(), &info) || IsFolder(info.dwFileAttributes))
        return false;
    const std::uint64_t size = SizeOf(info);
    if (offset >= size) return true;
    contents.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, size - offset)));
    std::size_t done = 0;
    while (done < contents.size()) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.get(), contents.data() + done, chunk, &got, &at) || got == 0) break;
        done += got;
    }
    contents.resize(done);
    return true;
}

ReadStatus Win32Platform::readWholeFile(const std::string& path, std::string& contents) const {
    contents.clear();
    if (HoldsNul(path)) return ReadStatus::Failed;
    const std::wstring file = ApiPath(native(path));
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && IsFolder(attributes) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ReadStatus::NotAFile;
    Handle open(::CreateFileW(file.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!open.valid()) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return ReadStatus::Failed;
        return attributes != INVALID_FILE_ATTRIBUTES ? ReadStatus::DanglingLink
                                                     : ReadStatus::Missing;
    }
    // Checked once open: a link may lead to a folder, a name to a device.
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(open.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(open.get(), &info) || IsFolder(info.dwFileAttributes))
        return ReadStatus::NotAFile;
    std::array<char, 65536> buffer{};
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(open.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                        nullptr)) {
            contents.clear();
            return ReadStatus::Failed;
        }
        if (got == 0) return ReadStatus::Read;
        contents.append(buffer.data(), got);
    }
}

bool Win32Platform::makeEmptyFile(const std::string& path) const {
    if (HoldsNul(path)) return false;
    Handle file(::CreateFileW(ApiPath(native(path)).c_str(), GENERIC_WRITE, ShareAll, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && ::SetEndOfFile(file.get());
}

CreateStatus Win32Platform::createNewFile(const std::string& path,
                                          const std::string& contents) const {
    if (HoldsNul(path)) return CreateStatus::Failed;
    const std::wstring file = ApiPath(native(path));
    // CREATE_NEW also refuses a dangling link: nothing is ever written through one.
    Handle open(::CreateFileW(file.c_str(), GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!open.valid()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateStatus::Exists
                                                                           : CreateStatus::Failed;
    }
    const bool ok = WriteAll(open.get(), contents) && ::FlushFileBuffers(open.get());
    open.reset();
    if (!ok) {
        ::DeleteFileW(file.c_str());
        return CreateStatus::Failed;
    }
    return CreateStatus::Created;
}

bool Win32Platform::replaceFile(const std::string& path,
                                const std::function<bool(std::ostream&)>& writer) const {
    if (HoldsNul(path)) return false;
    // Through a link the file it points at is replaced; the link stays a link.
    const std::string target = FinalPath(native(path));
    RemoveLeftoverTemps(target);
    const DWORD attributes = ::GetFileAttributesW(ApiPath(target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    std::ostringstream text;
    if (!writer(text) || !text.good()) return false;
    const std::string bytes = std::move(text).str();
    std::wstring temp;
    Handle file;
    for (int attempt = 0; attempt < 20 && !file.valid(); ++attempt) {
        temp = ApiPath(target + ".tmp-" + RandomSuffix());
        Handle made(::CreateFileW(temp.c_str(), GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!made.valid() && ::GetLastError() != ERROR_FILE_EXISTS) return false;
        if (made.valid()) file = std::move(made);
    }
    // Flushed to the disk before they replace the old contents.
    bool ok = file.valid() && WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    file.reset();
    ok = ok && ::MoveFileExW(temp.c_str(), ApiPath(target).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok && !temp.empty()) ::DeleteFileW(temp.c_str());
    return ok;
}

std::vector<std::string> Win32Platform::drives() const {
    std::vector<std::string> out;
    std::wstring buffer(256, L'\0');
    DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
        buffer.resize(length);
        length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size()) return {"C:\\"};
    // "A:\", "C:\", ... each ended by a NUL.
    for (std::size_t at = 0; at < length;) {
        const std::size_t end = buffer.find(L'\0', at);
        const std::wstring root = buffer.substr(at, end - at);
        if (!root.empty() && ::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR)
            out.push_back(fromWide(root));
        at = end + 1;
    }
    // The system's own drive first, as the root comes first elsewhere.
    const std::string system = style_.rootOf(windowsDir());
    const auto it = std::find_if(out.begin(), out.end(),
                                 [&](const std::string& d) { return EqualsIgnoreCase(d, system); });
    if (it != out.end()) std::rotate(out.begin(), it, it + 1);
    return out;
}

std::string Win32Platform::resolveProgram(const std::string& name) const {
    std::string base = ToLower(name);
    if (base == "command.com" || base == "command" || base == "cmd.exe" || base == "cmd")
        return style_.join(programFolder_, InterpreterProgramName);
    if (name.find_first_of("\\/:") != std::string::npos) return name;
    const std::string local = style_.join(programFolder_, name);
    if (fileExists(local)) return local;
    if (!EndsWith(base, ".exe") && fileExists(local + ".exe")) return local + ".exe";
    return name;
}

void Win32Platform::dropUnpolled() {
    // Programs nobody polls (a viewer) are let go once they have ended.
    for (auto it = children_.begin(); it != children_.end();) {
        Child& child = it->second;
        if (!child.opened && child.process.outputEnded() && child.process.poll())
            it = children_.erase(it);
        else
            ++it;
    }
}

long Win32Platform::startProcess(const std::string& commandLine, WindowStyle windowStyle) {
    return spawn(commandLine, windowStyle, os::NoHandle, -1);
}

long Win32Platform::startProcessWithSecret(const std::string& commandLine, WindowStyle windowStyle,
                                           int descriptor, std::string_view secret) {
    if (descriptor < 3 || descriptor > 255) return 0;
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, nullptr, 65536)) return 0;
    Handle readEnd(read), writeEnd(write);
    // Written whole before the program starts: the pipe holds far more than a password.
    DWORD written = 0;
    if (secret.size() > 65536 ||
        (!secret.empty() && (!::WriteFile(writeEnd.get(), secret.data(),
                                          static_cast<DWORD>(secret.size()), &written, nullptr) ||
                             written != secret.size())))
        return 0;
    writeEnd.reset();
    return spawn(commandLine, windowStyle, readEnd.get(), descriptor);
}

long Win32Platform::spawn(const std::string& commandLine, WindowStyle windowStyle, void* passed,
                          int descriptor) {
    dropUnpolled();
    if (HoldsNul(commandLine)) return 0;
    std::size_t rest = 0;
    const std::string program = ProgramOf(commandLine, rest);
    if (program.empty()) return 0;
    os::SpawnSpec spec;
    spec.arguments = SplitCommandLine(commandLine.substr(rest));
    spec.arguments.insert(spec.arguments.begin(), native(resolveProgram(program)));
    const bool console = windowStyle == WindowStyle::NormalFocus;
    spec.input = console ? os::Stream::Pipe() : os::Stream::Null();
    spec.output = console ? os::Stream::Pipe() : os::Stream::Null();
    spec.error = console ? os::Stream::SameAsOutput() : os::Stream::Null();
    spec.hideWindows = !console;
    spec.passed = passed;
    spec.passedAs = descriptor;
    // A viewer the window started stays open when the window closes.
    spec.mayOutliveUs = true;
    os::Process process = os::Process::Start(spec);
    if (!process.started()) return 0;
    const long pid = process.id();
    children_[pid] = Child{std::move(process), false};
    return pid;
}

bool Win32Platform::stopProcess(long pid) {
    const auto it = children_.find(pid);
    if (it == children_.end()) return false;
    // The program and every one it started, the archiver under the interpreter too.
    return it->second.process.terminate();
}

long Win32Platform::openProcess(long pid) {
    auto it = children_.find(pid);
    if (it == children_.end()) return 0;
    it->second.opened = true;
    return pid;
}

bool Win32Platform::getExitCodeProcess(long handle, std::uint32_t& exitCode) {
    auto it = children_.find(handle);
    if (it == children_.end()) return false;
    const std::optional<os::Ending> ending = it->second.process.poll();
    exitCode = ending ? static_cast<std::uint32_t>(ending->status) : StillActive;
    return true;
}

void Win32Platform::closeHandle(long handle) {
    auto it = children_.find(handle);
    if (it == children_.end()) return;
    it->second.opened = false;
    // Output still in the pipe is left for takeConsoleOutput until it is drained.
    if (it->second.process.outputEnded() && it->second.process.poll()) children_.erase(it);
}

std::string Win32Platform::takeConsoleOutput(long pid) {
    auto it = children_.find(pid);
    if (it == children_.end() || it->second.process.outputEnded()) return {};
    std::string out = it->second.process.readOutput();
    if (it->second.process.outputEnded() && !it->second.opened && it->second.process.poll())
        children_.erase(it);
    return out;
}

bool Win32Platform::writeConsoleInput(long pid, const std::string& text) {
    auto it = children_.find(pid);
    if (it == children_.end()) return false;
    // The program has closed its input or does not read it: the line is lost.
    return it->second.process.writeInput(text);
}

void Win32Platform::sleepMilliseconds(int milliseconds) const {
    ::Sleep(static_cast<DWORD>(std::max(milliseconds, 0)));
}

}  // namespace stowaway
