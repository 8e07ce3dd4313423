#pragma once

#include <array>
#include <string>
#include <vector>

namespace stowaway {

// The table's bounds: slots 0 to 512, entries 0 to 4096 of each list.
inline constexpr short MaxCrateIndex = 512;
inline constexpr int CrateSlots = MaxCrateIndex + 1;
inline constexpr short MaxEntryIndex = 4096;
inline constexpr int EntrySlots = MaxEntryIndex + 1;

// One Crate. Folders and Files hold room only for the entries in use (so an empty
// table costs little); entries at or beyond FolderMax / FileMax are not meaningful.
struct CrateRecord {
    std::string Name;  // empty: a free slot
    std::string BackupLocation;
    std::string RestoreLocation;
    short Compression = 0;
    short UpdateOnly = 0;
    short MultiDisk = 0;
    short FolderMax = 0;
    short FileMax = 0;
    std::vector<std::string> Folders;
    std::vector<std::string> Files;

    // Writes entry j (0 to 4096) of a list, growing it as needed.
    static void SetEntry(std::vector<std::string>& list, int j, std::string text);
    // Entry j, or "" where nothing was written.
    static const std::string& Entry(const std::vector<std::string>& list, int j);
};

// All Crates and the two program options.
struct CrateStore {
    std::array<CrateRecord, CrateSlots> CrateTable;
    short CrateMax = -1;      // highest slot in use; -1 none
    short CurrentIndex = -1;  // slot shown in the window; -1 none
    CrateRecord ImportRecord;
    std::string LogPath;
    std::string LogViewer;

    // Empties every slot (empty strings, zero numbers); CrateMax and CurrentIndex -1.
    void clearTable();
};

}  // namespace stowaway
