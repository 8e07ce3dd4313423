#pragma once

#include <string>

namespace stowaway {

class App;

// The drive list changed: the folder tree moves to the chosen drive, unless it is
// already on it. A drive that cannot be read gives the "Invalid Drive" message and
// the drive list goes back to the tree's drive.
void DriveChanged(App& app);
// The folder tree changed: the file list shows that folder's files (hidden and
// system ones too). A folder that cannot be listed gives the "Invalid Directory"
// message and the tree goes back to the file list's folder.
void FolderChanged(App& app);
// F5: the drive list, the folder tree and the file list read anew, in that order.
void RefreshBrowsing(App& app);

// The drive (a root or a mount point of the drive list) that holds a path.
std::string DriveOf(const App& app, const std::string& path);

}  // namespace stowaway
