#include "RestoreWorkFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace pkzip {
namespace {

constexpr size_t kWorkLeafMax = 200;
constexpr std::string_view kMark = ".pkzip-";

bool AllDigits(std::string_view s) {
    return !s.empty() && s.size() <= 19 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// PKZIP_TEST_KILL_AFTER_BYTES=N, for the tests only: the first write of more
// than N bytes into a restored file stops after N bytes and the process dies
// at once, as a kill during that write would leave it.
// Read at start-up, while there is one thread: umask() can only be read by
// setting it, which would change it under threads creating files.
const uint32_t g_umask = os::CreationMask();
// The process id, asked once rather than for every file.
const long g_pid = os::ProcessId();

uint64_t KillAfterBytes() {
    static const uint64_t n = [] {
        const char* text = std::getenv("PKZIP_TEST_KILL_AFTER_BYTES");
        return text ? std::strtoull(text, nullptr, 10) : 0;
    }();
    return n;
}

}  // namespace

std::string WorkLeaf(std::string_view leaf) {
    return std::string(leaf.substr(0, kWorkLeafMax));
}

std::string RestoreWorkName(std::string_view leaf, std::string_view host, long pid,
                            uint64_t number) {
    return "." + WorkLeaf(leaf) + std::string(kMark) + std::string(host) + "-" +
           std::to_string(pid) + "-" + std::to_string(number);
}

std::optional<WorkNameInfo> ParseRestoreWorkName(std::string_view name) {
    if (name.size() < 2 || name[0] != '.') return std::nullopt;
    const size_t mark = name.rfind(kMark);
    if (mark == std::string_view::npos || mark < 2) return std::nullopt;
    WorkNameInfo info;
    info.leaf = std::string(name.substr(1, mark - 1));
    const std::string_view rest = name.substr(mark + kMark.size());
    if (AllDigits(rest)) return info;  // the older form
    const size_t second = rest.rfind('-');
    if (second == std::string_view::npos || second == 0) return std::nullopt;
    const size_t first = rest.rfind('-', second - 1);
    if (first == std::string_view::npos || first == 0) return std::nullopt;
    const std::string_view host = rest.substr(0, first);
    const std::string_view pid = rest.substr(first + 1, second - first - 1);
    if (!AllDigits(pid) || !AllDigits(rest.substr(second + 1)) || host.size() > kHostNameMax ||
        host.find('-') != std::string_view::npos)
        return std::nullopt;
    info.host = std::string(host);
    info.pid = std::strtol(std::string(pid).c_str(), nullptr, 10);
    if (info.pid <= 0) return std::nullopt;
    return info;
}

bool IsLeftoverWorkFile(const WorkNameInfo& info, std::string_view host, long ownPid,
                        const std::function<bool(long)>& processAlive) {
    if (info.host.empty()) return true;
    if (info.host != host) return false;
    return info.pid == ownPid || !processAlive(info.pid);
}

bool WriteRestoredBytes(os::Handle fd, const unsigned char* data, size_t len, std::string& why) {
    if (const uint64_t kill = KillAfterBytes(); kill > 0 && len > kill) {
        len = static_cast<size_t>(kill);
        while (len > 0) {
            const int64_t w = os::Write(fd, data, len);
            if (w <= 0) break;
            data += w;
            len -= static_cast<size_t>(w);
        }
        os::KillSelf();
    }
    while (len > 0) {
        const int64_t w = os::Write(fd, data, len);
        if (w < 0) {
            if (os::LastError() == EINTR) continue;
            why = "cannot write the file: " + std::string(os::ErrorText(os::LastError()));
            return false;
        }
        data += w;
        len -= static_cast<size_t>(w);
    }
    return true;
}

RestoreWorkFile::~RestoreWorkFile() {
    if (fd_ != os::kNoHandle) os::Close(fd_);
    if (!name_.empty() && !placed_) os::RemoveAt(dirFd_, name_);
}

bool RestoreWorkFile::Create(std::string& why) {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = RestoreWorkName(leaf_, ThisHost(), g_pid, rng() % 1000000000);
        // Its own mode from the start (the umask may take bits, Finish gives
        // them back): the name is hidden and no reader expects it complete.
        fd_ = os::OpenAt(dirFd_, name, os::kWrite | os::kCreate | os::kExclusive | os::kNoFollow,
                         mode_);
        if (fd_ != os::kNoHandle) {
            name_ = std::move(name);
            return true;
        }
        if (os::LastError() != EEXIST) break;
    }
    why = "cannot create the file: " + std::string(os::ErrorText(os::LastError()));
    return false;
}

bool RestoreWorkFile::Finish(int64_t mtime, uint32_t nsec, std::string& why) {
    if ((mode_ & ~g_umask) != mode_) os::SetMode(fd_, mode_);
    os::SetModified(fd_, os::MakeTime(mtime, nsec));
    // No fsync: a killed process loses nothing it has written, and the rename
    // that follows is what keeps a short file from the final name. Syncing
    // every file would make a restore of many small files several times slower.
    const os::Handle fd = fd_;
    fd_ = os::kNoHandle;
    closed_ = true;
    if (!os::Close(fd)) {
        why = "cannot write the file: " + std::string(os::ErrorText(os::LastError()));
        return false;
    }
    return true;
}

RestoreWorkFile::Placed RestoreWorkFile::Place(bool replace, std::string& why) {
    if (!replace) {
        if (os::RenameAt(dirFd_, name_, leaf_, false)) {
            placed_ = true;
            return Placed::Done;
        }
        if (os::LastError() == EEXIST) return Placed::Exists;
        // A file system that cannot refuse a taken name: look, then rename.
        if (os::LastError() != EINVAL && os::LastError() != ENOSYS &&
            os::LastError() != EOPNOTSUPP) {
            why = "cannot put the file in place: " + std::string(os::ErrorText(os::LastError()));
            return Placed::Failed;
        }
        os::FileInfo st;
        if (os::StatAt(dirFd_, leaf_, st)) return Placed::Exists;
    }
    if (!os::RenameAt(dirFd_, name_, leaf_, true)) {
        why = "cannot put the file in place: " + std::string(os::ErrorText(os::LastError()));
        return Placed::Failed;
    }
    placed_ = true;
    return Placed::Done;
}

}  // namespace pkzip
