#pragma once

#include <string>

namespace stowaway {

class App;

// Builds the folder rule from the editor's inputs and toggles (kind 0 whole folder,
// 1 wildcard, 2 date) and adds it to LstDir, widening its scroll range, unless it
// is already there.
void BuildFolderRule(App& app, const std::string& folder, const std::string& first,
                     const std::string& second, short kind, bool recurse);

// Adds the folder open in DirSelect to LstDir as a folder rule, with the recursion
// flag and at most one filter (the wildcard filter wins when both are ticked).
void AddSelectedFolder(App& app);
// Adds the files selected in FileSelect to LstFile as full paths, skipping those
// already listed.
void AddSelectedFiles(App& app);
// Remove the selected entries; the scroll range stays as wide as it was.
void RemoveSelectedFolders(App& app);
void RemoveSelectedFiles(App& app);

}  // namespace stowaway
