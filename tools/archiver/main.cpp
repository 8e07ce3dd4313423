// PKZIP25.EXE: the archiver the backup program drives. Backup, restore and a
// brief listing on standard ZIP archives.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include <string>
#include <vector>

#include "Backup.h"
#include "Extract.h"
#include "Listing.h"
#include "Options.h"
#include "Output.h"
#include "crypto/Password.h"

int main(int argc, char** argv) {
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
    pkzip::crypto::Password password;
    if (options.passwordFd >= 0 && options.mode != pkzip::Mode::Help) {
        if (!password.ReadFrom(options.passwordFd, error)) {
            pkzip::Problem(error + " (-password-fd=" + std::to_string(options.passwordFd) +
                           "); nothing was done");
            return 2;
        }
        options.password = &password;
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
