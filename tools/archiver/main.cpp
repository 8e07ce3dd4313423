// PKZIP25.EXE: the archiver the backup program drives. Backup, restore and a
// brief listing on standard ZIP archives.
#include <signal.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdlib>

#include <string>
#include <vector>

#include "Backup.h"
#include "Extract.h"
#include "Listing.h"
#include "Options.h"
#include "Output.h"

namespace {

// A page fault is dear on a virtual machine, and a run keeps a record per
// entry: tens of thousands of fresh pages. The C library backs its heap with
// huge pages when asked, but reads that setting only as a program starts, so
// the archiver starts itself once more with it. A GLIBC_TUNABLES of the
// user's own is left as it is.
constexpr const char* kRestartedMark = "PKZIP_HUGE_PAGES_TRIED";

void AskForHugePages(char** argv) {
    // Started once more already: a loader that drops GLIBC_TUNABLES (a
    // set-id start) must not make that a loop.
    if (std::getenv(kRestartedMark) != nullptr) {
        ::unsetenv(kRestartedMark);
        return;
    }
    if (std::getenv("GLIBC_TUNABLES") != nullptr) return;
    // Started by naming the dynamic loader ("ld-linux-x86-64.so.2 PKZIP25.EXE"):
    // no interpreter was loaded for us, and /proc/self/exe is the loader.
    if (::getauxval(AT_BASE) == 0) return;
    if (::setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 0) != 0) return;
    if (::setenv(kRestartedMark, "1", 1) != 0) {
        ::unsetenv("GLIBC_TUNABLES");
        return;
    }
    ::execv("/proc/self/exe", argv);
    // Could not start again: go on as we are.
    ::unsetenv("GLIBC_TUNABLES");
    ::unsetenv(kRestartedMark);
}

}  // namespace

int main(int argc, char** argv) {
    AskForHugePages(argv);
    // Output may go to a pipe whose reader goes away; the archive is still finished.
    ::signal(SIGPIPE, SIG_IGN);
    // A file-size limit then shows as EFBIG on the write, reported like any
    // other write error, instead of killing us without a word.
    ::signal(SIGXFSZ, SIG_IGN);
    // The C library looks at /etc/localtime again on every local-time
    // conversion unless TZ names it; one conversion per entry made that a
    // system call per file.
    ::setenv("TZ", ":/etc/localtime", 0);

    std::vector<std::string> args(argv + 1, argv + argc);
    pkzip::Options options;
    std::string error;
    if (!pkzip::ParseOptions(args, options, error)) {
        pkzip::Problem(error + " (run with --help for the usage)");
        return 2;
    }
    switch (options.mode) {
        case pkzip::Mode::Help:
            pkzip::PrintUsage();
            return 0;
        case pkzip::Mode::Backup:
            return pkzip::RunBackup(options);
        case pkzip::Mode::Restore:
            return pkzip::RunRestore(options);
        case pkzip::Mode::List:
            return pkzip::RunListing(options);
    }
    return 2;
}
