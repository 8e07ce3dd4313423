// PKZIP25.EXE: the archiver the backup program drives. Backup, restore and a
// brief listing on standard ZIP archives.
#include <string>
#include <vector>

#include "Backup.h"
#include "Extract.h"
#include "Listing.h"
#include "Options.h"
#include "Os.h"
#include "Output.h"
#include "crypto/Password.h"

int main(int argc, char** argv) {
    // A reader of the output going away or a file-size limit shows as a
    // failed write, reported like any other; the archive is still finished.
    stowaway::os::PrepareToolProcess();

    // UTF-8 whatever the system hands main (Windows: the ANSI code page, which
    // cannot spell most names).
    std::vector<std::string> args = stowaway::os::ProgramArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    pkzip::Options options;
    std::string error;
    if (!pkzip::ParseOptions(args, options, error)) {
        pkzip::Problem(error + " (run with --help for the usage)");
        return 2;
    }
    // Windows' paths come with backslashes; inside, '/' separates names.
    for (std::string* path :
         {&options.archive, &options.target, &options.nameFile, &options.headerFile})
        stowaway::os::UsePortableSeparators(*path);
    for (std::string& path : options.listFiles) stowaway::os::UsePortableSeparators(path);
    for (std::string& path : options.files) stowaway::os::UsePortableSeparators(path);
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
