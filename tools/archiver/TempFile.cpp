#include "TempFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "WorkOwner.h"

namespace pkzip {
namespace {

// Read by the signal handler, so a fixed buffer rather than a std::string.
char g_pendingPath[4096];
volatile sig_atomic_t g_havePending = 0;

volatile sig_atomic_t g_withVolumes = 0;

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
        if (::unlink(path) != 0 && disk > 2) break;
    }
}

void OnSignal(int sig) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    if (g_havePending) ::unlink(g_pendingPath);
    if (g_havePending && g_withVolumes) RemovePendingVolumes();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    errno = savedErrno;
}

void InstallHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaction(sig, &sa, nullptr);
}

// A run killed outright leaves its work file behind; its name carries the
// process id and the host name, so a later run can tell that nobody is
// writing it any more. A folder shared over the network is seen by other
// machines whose processes are not ours to judge.
constexpr time_t kLegacyStaleAge = 24 * 3600;

void RemoveStaleWorkFiles(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string& host = ThisHost();
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
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
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0 ||
                ::time(nullptr) - st.st_mtime < kLegacyStaleAge) {
                continue;
            }
        }
        if (!ProcessAlive(pid)) ::unlink(path.c_str());
    }
    ::closedir(d);
}

}  // namespace

std::string TempFile::WorkPrefix(const std::string& base) {
    return "." + base + ".pkzip-" + std::to_string(::getpid()) + "@" + ThisHost() + "~";
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
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    // Block the signals while the handler's path is being set up.
    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&block, sig);
    ::sigprocmask(SIG_BLOCK, &block, &old);
    fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
    const int err = errno;
    if (fd_ >= 0) {
        path_ = buf.data();
        std::memcpy(g_pendingPath, buf.data(), buf.size());
        g_havePending = 1;
    }
    ::sigprocmask(SIG_SETMASK, &old, nullptr);
    if (fd_ < 0) {
        error = std::strerror(err);
        return false;
    }
    return true;
}

bool TempFile::Seal(mode_t mode, std::string& error) {
    if (fd_ < 0) return true;
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

void TempFile::Release() {
    g_havePending = 0;
    committed_ = true;
}

void TempFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!path_.empty() && !committed_) {
        g_havePending = 0;
        ::unlink(path_.c_str());
        path_.clear();
    }
}

int NamelessWorkFile(const std::string& folder, std::string& error) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
        std::string path = folder + "/.pkzip-work-XXXXXX";
        const int named = ::mkostemp(path.data(), O_CLOEXEC);
        if (named >= 0) {
            ::unlink(path.c_str());
            return named;
        }
    }
    error = "cannot create a work file in " + folder + ": " + std::strerror(errno);
    return -1;
}

}  // namespace pkzip
