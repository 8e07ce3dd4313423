#include "platform/PosixPlatform.h"

#include <fcntl.h>
#include <mntent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/CommandLineSplit.h"
#include "platform/NativeText.h"
#include "platform/PosixFolder.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace fs = std::filesystem;

namespace {

// The path a chain of symbolic links ends at (the path itself when it is no link).
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::error_code ec;
        fs::path link = fs::read_symlink(toPath(path), ec);
        if (ec) return path;
        path = fromPath(link.is_absolute() ? link : toPath(path).parent_path() / link);
    }
    return path;
}

// Temporary files of replaces that were killed before their rename: NAME.tmp-XXXXXX.
void RemoveLeftoverTemps(const std::string& target) {
    const fs::path folder = toPath(target).parent_path();
    const std::string prefix = fromPath(toPath(target).filename()) + ".tmp-";
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? toPath(".") : folder, ec);
    if (ec) return;
    for (const fs::directory_entry& entry : it) {
        const std::string name = fromPath(entry.path().filename());
        if (name.size() != prefix.size() + 6 || !StartsWith(name, prefix)) continue;
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(entry.path().c_str());
    }
}

}  // namespace

PosixPlatform::PosixPlatform(std::string programFolder)
    : PosixPlatform(PathStyle::Posix(), std::move(programFolder)) {}

PosixPlatform::PosixPlatform(PathStyle style, std::string programFolder)
    : style_(style), programFolder_(std::move(programFolder)) {
    if (programFolder_.empty()) programFolder_ = ExecutableFolder();
}

PosixPlatform::~PosixPlatform() = default;

std::string PosixPlatform::ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fromPath(fs::current_path());
    std::string folder = fromPath(exe.parent_path());
    return folder.empty() ? "/" : folder;
}

std::unique_ptr<OpenFolder> PosixPlatform::openFolder(const std::string& folder) const {
    if (HoldsNul(folder)) return nullptr;
    return PosixFolder::Open(native(folder));
}

std::optional<std::time_t> PosixPlatform::fileModified(const std::string& path) const {
    if (HoldsNul(path)) return std::nullopt;
    struct stat st {};
    if (::stat(native(path).c_str(), &st) != 0) return std::nullopt;
    return st.st_mtime;
}

std::optional<std::uint64_t> PosixPlatform::fileSize(const std::string& path) const {
    if (HoldsNul(path)) return std::nullopt;
    struct stat st {};
    if (::stat(native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool PosixPlatform::fileExists(const std::string& path) const {
    struct stat st {};
    return !HoldsNul(path) && ::stat(native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PosixPlatform::folderExists(const std::string& path) const {
    struct stat st {};
    return !HoldsNul(path) && ::stat(native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixPlatform::removeFile(const std::string& path) const {
    return !HoldsNul(path) && ::unlink(native(path).c_str()) == 0;
}

std::optional<FileInfo> PosixPlatform::fileInfo(const std::string& path) const {
    if (HoldsNul(path)) return std::nullopt;
    struct stat st {};
    if (::lstat(native(path).c_str(), &st) != 0) return std::nullopt;
    FileInfo info;
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.links = static_cast<std::uint64_t>(st.st_nlink);
    info.modified = st.st_mtime;
    info.regular = S_ISREG(st.st_mode);
    return info;
}

LinkStatus PosixPlatform::makeHardLink(const std::string& existing, const std::string& link) const {
    if (HoldsNul(existing) || HoldsNul(link)) return LinkStatus::Failed;
    // linkat without AT_SYMLINK_FOLLOW links the name itself, never a link's target.
    if (::linkat(AT_FDCWD, native(existing).c_str(), AT_FDCWD, native(link).c_str(), 0) == 0)
        return LinkStatus::Linked;
    switch (errno) {
        case EEXIST:
            return LinkStatus::Exists;
        case EPERM:  // file systems such as FAT and exFAT say EPERM for "no links here"
        case EOPNOTSUPP:
        case EXDEV:
        case EMLINK:
            return LinkStatus::Unsupported;
        default:
            return LinkStatus::Failed;
    }
}

bool PosixPlatform::readFileRange(const std::string& path, std::uint64_t offset, std::size_t length,
                                  std::string& contents) const {
    contents.clear();
    if (HoldsNul(path)) return false;
    const int fd = ::open(native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && offset < static_cast<std::uint64_t>(st.st_size)) {
        contents.resize(
            std::min<std::uint64_t>(length, static_cast<std::uint64_t>(st.st_size) - offset));
        std::size_t done = 0;
        while (ok && done < contents.size()) {
            const ssize_t n = ::pread(fd, contents.data() + done, contents.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        contents.resize(done);
    }
    ::close(fd);
    return ok;
}

ReadStatus PosixPlatform::readWholeFile(const std::string& path, std::string& contents) const {
    contents.clear();
    if (HoldsNul(path)) return ReadStatus::Failed;
    const std::string file = native(path);
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno != ENOENT) return ReadStatus::Failed;
        return ::lstat(file.c_str(), &st) == 0 ? ReadStatus::DanglingLink : ReadStatus::Missing;
    }
    if (!S_ISREG(st.st_mode)) return ReadStatus::NotAFile;
    // Non-blocking, and checked again once open: it may have been swapped meanwhile.
    int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return ReadStatus::Failed;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::NotAFile;
    }
    std::array<char, 65536> buffer{};
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            contents.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        ::close(fd);
        if (n == 0) return ReadStatus::Read;
        contents.clear();
        return ReadStatus::Failed;
    }
}

bool PosixPlatform::makeEmptyFile(const std::string& path) const {
    if (HoldsNul(path)) return false;
    int fd = ::open(native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    return ::close(fd) == 0;
}

CreateStatus PosixPlatform::createNewFile(const std::string& path,
                                          const std::string& contents) const {
    if (HoldsNul(path)) return CreateStatus::Failed;
    const std::string file = native(path);
    // O_EXCL also refuses a dangling link: nothing is ever written through one.
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? CreateStatus::Exists : CreateStatus::Failed;
    bool ok = true;
    for (std::size_t done = 0; ok && done < contents.size();) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            ok = false;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(file.c_str());
        return CreateStatus::Failed;
    }
    const std::string folder = fromPath(toPath(file).parent_path());
    int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return CreateStatus::Created;
}

bool PosixPlatform::replaceFile(const std::string& path,
                                const std::function<bool(std::ostream&)>& writer) const {
    if (HoldsNul(path)) return false;
    // Through a link the file it points at is replaced; the link stays a link.
    const std::string target = FollowLinks(native(path));
    RemoveLeftoverTemps(target);
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &st) == 0) {
        // A file marked read-only stays refused, for root too: the rename must not
        // get around it.
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
        mode = st.st_mode & 07777;
    }
    std::string temp = target + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    ::close(fd);
    bool ok;
    {
        std::ofstream out(toPath(temp), std::ios::binary | std::ios::trunc);
        ok = out && writer(out);
        out.flush();
        ok = ok && out.good();
    }
    ok = ok && ::chmod(temp.c_str(), mode) == 0;
    // Flush the new contents to the disk before they replace the old ones.
    fd = ok ? ::open(temp.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    std::string folder = fromPath(toPath(target).parent_path());
    int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::vector<std::string> PosixPlatform::drives() const {
    std::vector<std::string> out{"/"};
    if (FILE* mounts = ::setmntent("/proc/self/mounts", "r")) {
        while (mntent* m = ::getmntent(mounts)) {
            std::string dir = m->mnt_dir;
            std::string type = m->mnt_type;
            // Only places a person keeps files: skip the kernel's own file systems.
            static const char* const pseudo[] = {
                "proc",     "sysfs",    "devpts",      "tmpfs",     "cgroup",    "cgroup2",
                "mqueue",   "devtmpfs", "securityfs",  "pstore",    "debugfs",   "tracefs",
                "configfs", "fusectl",  "binfmt_misc", "autofs",    "hugetlbfs", "bpf",
                "nsfs",     "overlay",  "efivarfs",    "rpc_pipefs"};
            bool skip = dir == "/";
            for (const char* p : pseudo) skip = skip || type == p;
            if (!skip && !StartsWith(dir, "/proc") && !StartsWith(dir, "/sys") &&
                !StartsWith(dir, "/dev") && !StartsWith(dir, "/run"))
                out.push_back(dir);
        }
        ::endmntent(mounts);
    }
    return out;
}

std::string PosixPlatform::resolveProgram(const std::string& name) const {
    std::string base = ToLower(name);
    if (base == "command.com" || base == "command" || base == "cmd.exe" || base == "cmd")
        return style_.join(programFolder_, InterpreterProgramName);
    if (name.find('/') != std::string::npos) return name;
    std::string local = style_.join(programFolder_, name);
    if (::access(native(local).c_str(), X_OK) == 0) return local;
    if (const char* path = std::getenv("PATH")) {
        std::string all = path;
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t end = all.find(':', start);
            if (end == std::string::npos) end = all.size();
            std::string candidate = all.substr(start, end - start) + "/" + name;
            if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
            start = end + 1;
        }
    }
    return name;
}

void PosixPlatform::reapUnpolled() {
    // Programs nobody polls (a viewer) are reaped in passing, so none stays a zombie.
    for (auto it = children_.begin(); it != children_.end();) {
        if (!it->second.opened && it->second.process.poll() && it->second.process.outputEnded())
            it = children_.erase(it);
        else
            ++it;
    }
}

long PosixPlatform::startProcess(const std::string& commandLine, WindowStyle windowStyle) {
    return spawn(commandLine, windowStyle, -1, -1);
}

long PosixPlatform::startProcessWithSecret(const std::string& commandLine, WindowStyle windowStyle,
                                           int descriptor, std::string_view secret) {
    if (descriptor < 3 || descriptor > 255) return 0;
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) return 0;
    // Written whole before the program starts: a pipe holds far more than a password,
    // and a write that would block fails rather than waits.
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    std::size_t sent = 0;
    while (sent < secret.size()) {
        const ssize_t n = ::write(fds[1], secret.data() + sent, secret.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
    if (sent != secret.size()) {
        ::close(fds[0]);
        return 0;
    }
    const long pid = spawn(commandLine, windowStyle, fds[0], descriptor);
    ::close(fds[0]);
    return pid;
}

long PosixPlatform::spawn(const std::string& commandLine, WindowStyle windowStyle, int secretFd,
                          int descriptor) {
    reapUnpolled();
    if (HoldsNul(commandLine)) return 0;
    os::SpawnSpec spec;
    spec.arguments = SplitCommandLine(commandLine);
    if (spec.arguments.empty()) return 0;
    spec.arguments[0] = native(resolveProgram(spec.arguments[0]));
    for (std::size_t i = 1; i < spec.arguments.size(); ++i)
        spec.arguments[i] = native(spec.arguments[i]);
    // A normal window's program talks to its console; without one nobody can
    // answer: the input is empty at once.
    const bool console = windowStyle == WindowStyle::NormalFocus;
    spec.input = console ? os::Stream::Pipe() : os::Stream::Null();
    spec.output = console ? os::Stream::Pipe() : os::Stream::Null();
    spec.error = console ? os::Stream::SameAsOutput() : os::Stream::Null();
    spec.passed = secretFd;
    spec.passedAs = descriptor;
    os::Process process = os::Process::Start(spec);
    if (!process.started()) return 0;
    const long pid = process.id();
    children_[pid] = Child{std::move(process), false};
    return pid;
}

bool PosixPlatform::stopProcess(long pid) {
    const auto it = children_.find(pid);
    if (it == children_.end()) return false;
    return it->second.process.terminate();
}

long PosixPlatform::openProcess(long pid) {
    auto it = children_.find(pid);
    if (it == children_.end()) return 0;
    it->second.opened = true;
    return pid;
}

bool PosixPlatform::getExitCodeProcess(long handle, std::uint32_t& exitCode) {
    auto it = children_.find(handle);
    if (it == children_.end()) return false;
    const std::optional<os::Ending> ending = it->second.process.poll();
    exitCode = ending ? static_cast<std::uint32_t>(ending->status) : StillActive;
    return true;
}

void PosixPlatform::closeHandle(long handle) {
    auto it = children_.find(handle);
    if (it == children_.end()) return;
    // A program still running when its handle is closed is reaped in passing later.
    it->second.opened = false;
    if (!it->second.process.poll()) return;
    // Output still in the pipe is left for takeConsoleOutput until it is drained.
    if (it->second.process.outputEnded()) children_.erase(it);
}

std::string PosixPlatform::takeConsoleOutput(long pid) {
    auto it = children_.find(pid);
    if (it == children_.end() || it->second.process.outputEnded()) return {};
    std::string out = it->second.process.readOutput();
    if (it->second.process.outputEnded() && it->second.process.seenEnding()) children_.erase(it);
    return out;
}

bool PosixPlatform::writeConsoleInput(long pid, const std::string& text) {
    auto it = children_.find(pid);
    if (it == children_.end()) return false;
    // The program has closed its input or does not read it: the line is lost.
    return it->second.process.writeInput(text);
}

void PosixPlatform::sleepMilliseconds(int milliseconds) const {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace stowaway
