#include <signal.h>

#include <cerrno>
#include <initializer_list>

#include "platform/os/Interrupt.h"

namespace stowaway::os {

namespace {

void (*g_cleanUp)() = nullptr;

void OnSignal(int sig) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    if (g_cleanUp) g_cleanUp();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    errno = savedErrno;
}

}  // namespace

void CleanUpOnInterrupt(void (*cleanUp)()) {
    if (g_cleanUp) return;
    g_cleanUp = cleanUp;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaction(sig, &action, nullptr);
}

}  // namespace stowaway::os
