// Command-line options of the archiver, as the command interpreter hands them
// over: already split, quotes removed.
#pragma once

#include <cstdint>
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
    bool span = false;                   // -span or -span=SIZE: volumes when needed
    uint64_t spanSize = 0;               // -span=SIZE: at most this many bytes a volume
    std::vector<std::string> listFiles;  // @LISTFILE arguments
    std::vector<std::string> files;      // files named directly after the archive

    // Restore.
    bool extractUpdate = false;  // -extract=update
    std::string target;
    std::string nameFile;       // @NAMEFILE last: only the entries it names
    bool replaceNewer = false;  // -newer=replace: the caller asked about newer files

    // All modes.
    std::string archive;
};

// Parses argv[1..]. On a bad command line returns false and sets `error`.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

// A volume size as -span=SIZE takes it: bytes, or a number followed by k, m
// or g (powers of 1024). False for anything else.
bool ParseSize(const std::string& text, uint64_t& out);
constexpr uint64_t kMinVolumeSize = 64 * 1024;

void PrintUsage();

}  // namespace pkzip
