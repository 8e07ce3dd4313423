#pragma once

#include <string>

namespace stowaway {

class App;

// The open-file dialog with a filter written "Description|pattern|"; the chosen
// path, or "" when cancelled.
std::string BrowseForFile(App& app, const std::string& filter);
// The folder browser under a title; the chosen folder, or "" when cancelled.
std::string BrowseForFolder(App& app, const std::string& title);

// The Browse buttons and the import: each fills its box (a cancelled file dialog
// too; the backup location's default then comes back at once), or imports.
void BrowseBackupLocation(App& app);
void BrowseRestoreLocation(App& app);
void BrowseLogFile(App& app);
void BrowseTextViewer(App& app);
void ImportCrateCommand(App& app);

}  // namespace stowaway
