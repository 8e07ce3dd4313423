// Command-line options of the archiver, as the command interpreter hands them
// over: already split, quotes removed.
#pragma once

#include <string>
#include <vector>

namespace pkzip {

enum class Mode { Help, Backup, Restore, List };

struct Options {
    Mode mode = Mode::Help;

    // Backup.
    bool updateOnly = false;             // -add=update
    std::string headerFile;              // -header=@FILE
    std::string tempDir;                 // -temp=DIR (accepted; the archive's folder is used)
    int level = 6;                       // -lev=N
    bool span = false;                   // -span (accepted; the archive is one file)
    std::vector<std::string> listFiles;  // @LISTFILE arguments
    std::vector<std::string> files;      // files named directly after the archive

    // Restore.
    bool extractUpdate = false;  // -extract=update
    std::string target;

    // All modes.
    std::string archive;
};

// Parses argv[1..]. On a bad command line returns false and sets `error`.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

void PrintUsage();

}  // namespace pkzip
