#include "TempFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

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
    if (g_havePending) ::unlink(g_pendingPath);
    if (g_havePending && g_withVolumes) RemovePendingVolumes();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
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
// process id, so a later run can tell that nobody is writing it any more.
void RemoveStaleWorkFiles(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            ::unlink((dir + "/" + name).c_str());
        }
    }
    ::closedir(d);
}

void SyncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

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
    std::string templ = folder + "/" + prefix + std::to_string(::getpid()) + "-XXXXXX";
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

bool TempFile::CommitTo(const std::string& target, mode_t mode, std::string& error) {
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::close(fd_) != 0) {
        fd_ = -1;
        error = std::strerror(errno);
        return false;
    }
    fd_ = -1;
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    g_havePending = 0;
    committed_ = true;
    const size_t slash = target.rfind('/');
    SyncFolder(slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash)));
    return true;
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

}  // namespace pkzip
