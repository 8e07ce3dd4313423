#include "TempFile.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "WorkOwner.h"

namespace pkzip {
namespace {

// Read by the interruption's cleanup, so a fixed buffer rather than a std::string.
char g_pendingPath[4096];
std::atomic<int> g_havePending{0};
std::atomic<int> g_withVolumes{0};

// The work volumes of a set are named after the first one: WORK.z02, ...
void RemovePendingVolumes() {
    char path[sizeof g_pendingPath + 8];
    size_t len = 0;
    while (g_pendingPath[len] != '\0') {
        path[len] = g_pendingPath[len];
        ++len;
    }
    for (unsigned disk = 2; disk < 1000; ++disk) {
        size_t at = len;
        path[at++] = '.';
        path[at++] = 'z';
        if (disk >= 100) path[at++] = static_cast<char>('0' + disk / 100);
        path[at++] = static_cast<char>('0' + disk / 10 % 10);
        path[at++] = static_cast<char>('0' + disk % 10);
        path[at] = '\0';
        if (!os::RemoveInHandler(path) && disk > 2) break;
    }
}

void OnInterruption() {
    os::InterruptsHeld::AwaitRelease();
    if (g_havePending) os::RemoveInHandler(g_pendingPath);
    if (g_havePending && g_withVolumes) RemovePendingVolumes();
}

void InstallHandlers() {
    os::CleanUpOnInterrupt(OnInterruption);
}

// A run killed outright leaves its work file behind; its name carries the
// process id and the host name, so a later run can tell that nobody is
// writing it any more. A folder shared over the network is seen by other
// machines whose processes are not ours to judge.
constexpr int64_t kLegacyStaleAge = 24 * 3600;

void RemoveStaleWorkFiles(const std::string& dir, const std::string& prefix) {
    const std::string& host = ThisHost();
    std::vector<std::string> stale;
    os::ListFolder(dir, [&](const os::FolderEntry& e) {
        if (e.name.substr(0, prefix.size()) == prefix) stale.emplace_back(e.name);
        return true;
    });
    for (const std::string& name : stale) {
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0) continue;
        const std::string path = dir + "/" + name;
        if (*end == '@') {
            const char* tilde = std::strchr(end, '~');
            if (tilde == nullptr || std::string(static_cast<const char*>(end) + 1, tilde) != host)
                continue;
        } else {
            // Made before names carried the host: only when long untouched.
            os::FileInfo st;
            if (!os::StatPath(path, st, false) ||
                os::Seconds(os::Now()) - os::Seconds(st.modified) < kLegacyStaleAge) {
                continue;
            }
        }
        if (!ProcessAlive(pid)) os::Remove(path);
    }
}

}  // namespace

std::string TempFile::WorkPrefix(const std::string& base) {
    return "." + base + ".pkzip-" + std::to_string(os::ProcessId()) + "@" + ThisHost() + "~";
}

void TempFile::RemoveVolumesOnSignal() {
    g_withVolumes = 1;
}

TempFile::~TempFile() {
    if (!committed_) Discard();
}

bool TempFile::Create(const std::string& dir, const std::string& base, std::string& error) {
    InstallHandlers();
    const std::string folder = dir.empty() ? std::string(".") : dir;
    const std::string prefix = "." + base + ".pkzip-";
    RemoveStaleWorkFiles(folder, prefix);
    std::string templ = folder + "/" + WorkPrefix(base) + "XXXXXX";
    if (templ.size() >= sizeof g_pendingPath) {
        error = "path too long";
        return false;
    }
    int err = 0;
    {
        // Interruptions wait while the handler's path is being set up.
        os::InterruptsHeld held;
        fd_ = os::CreateUnique(templ.substr(0, templ.size() - 6), path_);
        err = os::LastError();
        if (fd_ != os::kNoHandle) {
            std::memcpy(g_pendingPath, path_.c_str(), path_.size() + 1);
            g_havePending = 1;
        }
    }
    if (fd_ == os::kNoHandle) {
        error = os::ErrorText(err);
        return false;
    }
    return true;
}

bool TempFile::Seal(uint32_t mode, std::string& error) {
    if (fd_ == os::kNoHandle) return true;
    if (!os::SetMode(fd_, mode) || !os::Sync(fd_)) {
        error = os::ErrorText(os::LastError());
        return false;
    }
    os::Close(fd_);
    fd_ = os::kNoHandle;
    return true;
}

void TempFile::Release() {
    g_havePending = 0;
    committed_ = true;
}

void TempFile::Discard() {
    if (fd_ != os::kNoHandle) {
        os::Close(fd_);
        fd_ = os::kNoHandle;
    }
    if (!path_.empty() && !committed_) {
        g_havePending = 0;
        os::Remove(path_);
        path_.clear();
    }
}

os::Handle NamelessWorkFile(const std::string& folder, std::string& error) {
    const os::Handle fd = os::CreateNameless(folder);
    if (fd != os::kNoHandle) return fd;
    error = "cannot create a work file in " + folder + ": " + os::ErrorText(os::LastError());
    return os::kNoHandle;
}

}  // namespace pkzip
