#include "support/ProgramFolder.h"

#include <filesystem>

#include "support/TestPlatforms.h"

namespace stowaway::test {

void WriteOneCrateDataFile(const std::string& programFolder, const OneCrate& crate) {
    const auto item = [](const std::string& line) { return "\"" + line + "\"\r\n"; };
    std::string text = item("MAX=0") + item("LOGPATH=" + programFolder + "/Log.txt") +
                       item("LOGVIEW=x") + item("SNAME=" + crate.name) +
                       item("SBLOC=" + crate.archive) + item("SRLOC=" + crate.restore) +
                       item("SCOMP=" + std::to_string(crate.level)) +
                       item("SUPDATE=" + std::to_string(crate.updateOnly)) +
                       item("SMULTI=" + std::to_string(crate.multiDisk)) +
                       item("SFOLDMAX=" + std::to_string(crate.folders.size())) +
                       item("SFILEMAX=" + std::to_string(crate.files.size()));
    for (const std::string& folder : crate.folders) text += item("SFOLD=" + folder);
    for (const std::string& file : crate.files) text += item("SFILE=" + file);
    WriteFile(programFolder + "/Stowaway.dat", text);
}

bool CopyBuiltTools(const std::string& programFolder) {
    namespace fs = std::filesystem;
    for (const char* tool : {"PKZIP25.EXE", "stowaway-cmd"}) {
        const fs::path built = toPath(std::string(STOWAWAY_PROGRAM_DIR) + "/" + tool);
        if (!fs::exists(built)) return false;
        fs::copy_file(built, toPath(programFolder + "/" + tool),
                      fs::copy_options::overwrite_existing);
    }
    return true;
}

}  // namespace stowaway::test
