// Placeholders until the engine lands; every entry point does nothing.
#include "engine/BackupJob.h"
#include "engine/FolderRule.h"
#include "engine/RestoreJob.h"
#include "engine/Runner.h"
#include "store/Import.h"

namespace stowaway {

bool RunArchiver(App&, const std::string&, const std::string&, JobKind, const std::string*) {
    return false;
}
bool ScanArchiverOutput(App&, const std::string&, JobKind) { return false; }
void ViewLog(App&) {}
void ViewArchiverOutput(App&) {}
void BackupCrate(App&) {}
void DeletePreviousBackup(App&) {}
void RestoreCrate(App&) {}
void BuildFolderRule(App&, const std::string&, const std::string&, const std::string&, short, bool) {}
ParsedFolderRule ParseFolderRule(const std::string&, const PathStyle&) { return {}; }
bool ReadArchiveHeader(App&, const std::string&) { return false; }
void ImportCrate(App&, const std::string&) {}

}  // namespace stowaway
