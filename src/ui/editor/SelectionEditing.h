#pragma once

namespace stowaway {

class App;

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
