// A program folder for the end-to-end tests: the built archiver and interpreter
// beside a data file of one Crate.
#pragma once

#include <string>
#include <vector>

namespace stowaway::test {

// One Crate in the data file of a program folder that the real archiver and
// interpreter run in; the run log is Log.txt in the program folder.
struct OneCrate {
    std::string name = "Docs";
    std::string archive, restore;
    int level = 6, updateOnly = 0, multiDisk = 0;
    std::vector<std::string> folders{};  // "R+ /home/ann/*.*", as the data file holds them
    std::vector<std::string> files{};
};
void WriteOneCrateDataFile(const std::string& programFolder, const OneCrate& crate);
// The built archiver and interpreter copied into the program folder; false when
// they are not built yet.
bool CopyBuiltTools(const std::string& programFolder);

}  // namespace stowaway::test
