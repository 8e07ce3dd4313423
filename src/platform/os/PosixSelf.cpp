#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/os/Self.h"

namespace stowaway::os {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kInterrupts) sigaddset(&set, sig);
    return set;
}

}  // namespace

long ProcessId() {
    return static_cast<long>(::getpid());
}

bool ProcessAlive(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::string HostName() {
    char raw[256] = {};
    if (::gethostname(raw, sizeof raw - 1) != 0) return {};
    return raw;
}

void PrepareToolProcess() {
    // Output may go to a pipe whose reader goes away; the work is still finished.
    ::signal(SIGPIPE, SIG_IGN);
    // A file-size limit then shows as EFBIG on the write, reported like any
    // other write error, instead of killing the process without a word.
    ::signal(SIGXFSZ, SIG_IGN);
    // The C library looks at /etc/localtime again on every local-time
    // conversion unless TZ names it; one conversion per entry made that a
    // system call per file.
    ::setenv("TZ", ":/etc/localtime", 0);
}

InterruptsHeld::InterruptsHeld() {
    static_assert(sizeof(sigset_t) <= sizeof saved_);
    const sigset_t block = InterruptSet();
    ::pthread_sigmask(SIG_BLOCK, &block, reinterpret_cast<sigset_t*>(saved_));
}

InterruptsHeld::~InterruptsHeld() {
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
}

void InterruptsHeld::AwaitRelease() {}

void KillSelf() {
    ::kill(::getpid(), SIGKILL);
    std::_Exit(137);
}

void InterruptSelf() {
    ::kill(::getpid(), SIGTERM);
}

void ReturnFreeMemory() {
    ::malloc_trim(0);
}

void* LockedPage(std::size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    // Best effort: a locked page never goes to swap, and a core dump leaves it out.
    ::mlock(p, size);
    ::madvise(p, size, MADV_DONTDUMP);
    return p;
}

void FreeLockedPage(void* page, std::size_t size) {
    if (page == nullptr) return;
    ::munlock(page, size);
    ::munmap(page, size);
}

}  // namespace stowaway::os
