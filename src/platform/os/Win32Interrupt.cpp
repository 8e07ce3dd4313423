#include <windows.h>

#include "platform/os/Interrupt.h"

namespace stowaway::os {

namespace {

void (*g_cleanUp)() = nullptr;

BOOL WINAPI OnControl(DWORD) {
    if (g_cleanUp) g_cleanUp();
    // Not handled: the next handler, the default one, ends the program.
    return FALSE;
}

}  // namespace

void CleanUpOnInterrupt(void (*cleanUp)()) {
    if (g_cleanUp) return;
    g_cleanUp = cleanUp;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace stowaway::os
