// PKZIP25.EXE: the archiver the backup program drives. Backup, restore and a
// brief listing on standard ZIP archives.
#include <signal.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "Backup.h"
#include "Extract.h"
#include "Listing.h"
#include "Options.h"
#include "Output.h"

int main(int argc, char** argv) {
    // Output may go to a pipe whose reader goes away; the archive is still finished.
    ::signal(SIGPIPE, SIG_IGN);
    // The same zone as without TZ, but read once instead of at every local
    // time conversion (DOS times of every entry).
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
