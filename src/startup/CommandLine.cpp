#include "startup/CommandLine.h"

#include "platform/Text.h"
#include "startup/App.h"
#include "startup/VersionCommands.h"

namespace stowaway {

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string out;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) out += ' ';
        out += arguments[i];
    }
    return out;
}

StartMode ClassifyCommandLine(App& app, const std::string& arguments) {
    app.CommandLine = ToLower(Trim(arguments));
    if (Trim(arguments) == "--help") return StartMode::Help;
    if (Trim(arguments) == "--version") return StartMode::Version;
    if (Trim(arguments) == "--status") return StartMode::Status;
    // Before the classic forms: a Crate named "Kabul" is no "abu" switch.
    if (IsVersionsCommand(arguments)) return StartMode::Versions;
    const std::string& line = app.CommandLine;
    if (line.find('-') == std::string::npos && line.find('/') == std::string::npos)
        return StartMode::Interactive;
    if (line.find("abu") != std::string::npos) {
        // The switch stands first and is four characters long.
        app.AbuCrateName = Trim(Mid(line, 4));
        return StartMode::Automated;
    }
    if (line.find("main") != std::string::npos) return StartMode::Interactive;
    return StartMode::Rejected;
}

std::string UsageText(const App& app) {
    const std::string data = app.style().join(app.ProgramFolder, "Stowaway.dat");
    const std::string log = app.style().join(app.ProgramFolder, "Log.txt");
    return "Usage: stowaway [-main]\n"
           "       stowaway -abu NAME\n"
           "       stowaway --status\n"
           "       stowaway --schedule NAME WHEN\n"
           "       stowaway --fix-schedules\n"
           "       stowaway --keep NAME LAST[,DAILY,WEEKLY,MONTHLY] | --keep NAME off\n"
           "       stowaway --versions NAME\n"
           "       stowaway --prune NAME [--dry-run]\n"
           "       stowaway --restore NAME [--version DATE] [--to DIR] [--force] PATTERN...\n"
           "       stowaway --encrypt NAME --key-file PATH | --keyring | off\n"
           "       stowaway --help | --version\n"
           "\n"
           "Backs up named sets of folders and files (Crates) into ZIP archives.\n"
           "\n"
           "  stowaway, stowaway -main   open the main window (it needs a display)\n"
           "  stowaway -abu NAME         back up the Crate NAME without questions, then end;\n"
           "                             letter case does not matter (/main and /abu too)\n"
           "  --status                   each Crate's schedule, next run, last run, last\n"
           "                             result, last good backup and whether it is overdue\n"
           "  --schedule NAME WHEN       back up the Crate NAME by itself: WHEN is\n"
           "                             \"daily HH:MM\", \"mon,thu HH:MM\" (any weekdays),\n"
           "                             \"every Nh\" (N divides 24) or off; through systemd\n"
           "                             user timers (missed runs are caught up) or, without\n"
           "                             a user manager, cron (they are not);\n"
           "                             STOWAWAY_SCHEDULER=systemd or =cron picks one\n"
           "  --fix-schedules            point schedules whose program folder moved here\n"
           "  --keep NAME LAST[,DAILY,WEEKLY,MONTHLY]\n"
           "                             keep earlier archives of the Crate NAME: each backup\n"
           "                             keeps the previous ARCHIVE.zip as ARCHIVE-DATE.zip\n"
           "                             (a hard link, no copy); then the last LAST (the current\n"
           "                             one counted) and the newest of DAILY days, WEEKLY weeks\n"
           "                             and MONTHLY months stay; \"off\" keeps no more\n"
           "  --versions NAME            list the Crate's archives: date, path, size, files\n"
           "  --prune NAME [--dry-run]   delete the kept archives the policy does not keep;\n"
           "                             --dry-run lists each archive and why it stays or goes\n"
           "                             With versions kept, a file deleted from disk stays\n"
           "                             restorable from the kept archives that hold it.\n"
           "  --restore NAME [--version DATE] [--to DIR] [--force] PATTERN...\n"
           "                             restore the files each PATTERN names (a file's\n"
           "                             original path, a folder, or a wildcard such as *.txt)\n"
           "                             from the archive of DATE (as --versions prints it,\n"
           "                             or current), else each from the newest archive that\n"
           "                             holds it; to its original place, or under DIR; a file\n"
           "                             there is replaced only when it is older than the\n"
           "                             archive's copy: newer ones are kept and named, unless\n"
           "                             --force\n"
           "  --encrypt NAME --key-file PATH\n"
           "                             encrypt the Crate's archive with AES-256 (7-Zip,\n"
           "                             WinZip and bsdtar open it); the password is the first\n"
           "                             line of PATH, a file of yours alone (chmod 600)\n"
           "  --encrypt NAME --keyring   the same with the password read from standard input\n"
           "                             and kept in the desktop keyring; runs look there\n"
           "                             first, then in the key file\n"
           "  --encrypt NAME off         write the Crate's next archives in the clear\n"
           "                             File names and the Crate's description stay readable\n"
           "                             in an encrypted archive; restore and import ask for\n"
           "                             the password when it is not kept for the Crate.\n"
           "  --help                     show this text\n"
           "  --version                  show the version\n"
           "\n"
           "Exit status:\n"
           "  0  the backup ran and the archiver reported no error (or the window closed)\n"
           "  1  the Crate was not found, the backup reported an error (a folder of the\n"
           "     Crate that does not exist is one), another run of the Crate went on past\n"
           "     the wait, or there is no display for the window; --status: a Crate is\n"
           "     overdue or its last backup failed\n"
           "  2  the command line was not understood\n"
           "  --schedule, --fix-schedules: 0 done; 1 no such Crate, or the scheduler or\n"
           "     the settings file refused (nothing was changed); 2 NAME or WHEN missing or\n"
           "     not understood\n"
           "  --keep, --versions, --prune: 0 done; 1 no such Crate, or the settings file or\n"
           "  an archive could not be written or deleted; 2 not understood (a bad policy);\n"
           "  3 listed, but an archive is damaged or misses a volume\n"
           "  --restore: 0 every file named was restored; 1 no such Crate or version, a\n"
           "  PATTERN that no readable archive holds, or a file not written; 2 not\n"
           "  understood; 3 restored, but newer files were kept (--force replaces them)\n"
           "  --encrypt: 0 done; 1 no such Crate, the key file refused (not yours alone,\n"
           "     no password on its first line), the keyring or the settings file refused\n"
           "     (nothing was changed); 2 not understood\n"
           "  An encrypted Crate's backup that finds no password (keyring, then key file)\n"
           "  writes nothing, logs why and exits with status 1.\n"
           "\n"
           "Files:\n"
           "  " +
           data +
           "\n"
           "      the Crates and the program's options\n"
           "  " +
           app.style().join(app.ProgramFolder, "Stowaway.ini") +
           "\n"
           "      the schedules and other settings of the Crates (never a password)\n"
           "  " +
           log +
           "\n"
           "      the run log (unless another path is set under Program Options)\n"
           "  " +
           app.style().join(app.ProgramFolder, "Stowaway.state") +
           "\n"
           "      each Crate's last run, result and last good backup\n"
           "\n"
           "See also: man stowaway, and Help > Contents in the main window.\n";
}

std::string VersionText() {
    return "Stowaway " + std::to_string(VersionMajor) + "." + std::to_string(VersionMinor) + "\n";
}

std::string CommandLineErrorText(const std::string& commandLine) {
    return "The command line arguments \"" + commandLine +
           "\" are not understood. See Help for details on the command line interface.";
}

void ShowCommandLineError(App& app) {
    app.ui.messageBox(CommandLineErrorText(app.CommandLine), "Error", MsgButtons::OK,
                      MsgIcon::Critical);
}

}  // namespace stowaway
