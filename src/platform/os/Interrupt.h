// A console's requests to stop: Ctrl+C, the terminal or console going, a
// termination request (SIGINT, SIGHUP, SIGTERM and SIGQUIT on POSIX; Ctrl+C,
// Ctrl+Break, the console closing, logoff and shutdown on Windows).
#pragma once

namespace stowaway::os {

// Runs `cleanUp` when such a request comes, then lets the request end the
// program as it would have without it (the signal's own default action; on
// Windows the console's default handler). `cleanUp` runs in a signal handler on
// POSIX and on a thread of the console's on Windows: it may only do what is safe
// there (remove a file, write a line with the system's own calls). Set once.
void CleanUpOnInterrupt(void (*cleanUp)());

}  // namespace stowaway::os
