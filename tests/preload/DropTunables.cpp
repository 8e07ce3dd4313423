// Preloaded into the archiver by a test: takes GLIBC_TUNABLES away before
// main runs, as the loader does for a set-id program.
#include <cstdlib>

__attribute__((constructor)) static void DropTunables() {
    ::unsetenv("GLIBC_TUNABLES");
}
