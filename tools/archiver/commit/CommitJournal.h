// The journal of a set commit: a small file beside the archive, written and
// synced before any volume moves, naming every move the commit makes. Whoever
// finds it later knows exactly which files are old, which are new, and where
// each one is meant to go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pkzip::commit {

// A new volume: written under `work`, to be renamed to `final`. `dev` and
// `ino` tell the new file from an old one of the same name.
struct NewVolume {
    std::string work;
    std::string final;
    uint64_t dev = 0;
    uint64_t ino = 0;
};

// A file of the old set (or one in the way) moved to `aside` so that the new
// set can take its name; put back if the commit is undone.
struct AsideFile {
    std::string final;
    std::string aside;
};

struct Journal {
    std::string host;
    long pid = 0;
    std::vector<AsideFile> aside;    // in the order they are moved, NAME.zip first
    std::vector<NewVolume> place;    // in the order they are renamed, NAME.zip last
    std::vector<std::string> stale;  // old volumes removed once the new set is in place
};

// Hidden, beside the archive: ".NAME.zip.pkzip-commit".
std::string JournalPath(const std::string& archive);

// Writes the journal under a fresh name and syncs it and its folder; false
// with `error` (nothing else was touched).
bool WriteJournal(const std::string& path, const Journal& j, std::string& error);
// Reads it back; false when it is missing (`missing` set) or incomplete or
// unreadable (`error` set). An incomplete journal was cut before any move.
bool ReadJournal(const std::string& path, Journal& j, bool& missing, std::string& error);

}  // namespace pkzip::commit
