#pragma once

#include <string>

#include "ui/controls/UiServices.h"

namespace stowaway {

class App;

// The file dialog with a filter written "Description|pattern|", opening where
// `current` lies; the chosen path, or "" when cancelled.
std::string BrowseForFile(App& app, const std::string& filter, const std::string& current = {},
                          FileDialogKind kind = FileDialogKind::Open);
// The folder browser under a title, opening at `current`; the chosen folder, or
// "" when cancelled.
std::string BrowseForFolder(App& app, const std::string& title, const std::string& current = {});

// The Browse buttons and the import: each fills its box (a cancelled file dialog
// too; the backup location's default then comes back at once), or imports.
void BrowseBackupLocation(App& app);
void BrowseRestoreLocation(App& app);
void BrowseLogFile(App& app);
void BrowseTextViewer(App& app);
void ImportCrateCommand(App& app);

}  // namespace stowaway
