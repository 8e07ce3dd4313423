#pragma once

namespace stowaway {

class App;

// Tools > Browse and Restore Files...: the shown Crate's versions, the newest
// chosen.
void OpenBrowseDialog(App& app);
// The chosen version's folder tree, its root open.
void ShowSelectedVersion(App& app);
// A folder opened for the first time: its child folders.
void LoadFolderChildren(App& app);
// The chosen folder's folders and files.
void ShowSelectedFolder(App& app);
// Find: every version's files matching the box.
void SearchVersions(App& app);
// One found file chosen: every version holding it.
void ShowFileHistory(App& app);
// Restore the chosen files and folders where they came from, or into a folder
// the user picks; files that would be replaced are listed and asked about first.
void RestoreToOriginalPlace(App& app);
void RestoreToFolder(App& app);
// The answer to the replace question.
void AnswerReplace(App& app, bool replace);
void ConnectBrowseForm(App& app);

}  // namespace stowaway
