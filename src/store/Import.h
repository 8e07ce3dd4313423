#pragma once

#include <string>

namespace stowaway {

class App;

// Lists an archive through the archiver and reads the stored Crate description
// into ImportRecord; false (after telling the user) when it cannot.
bool ReadArchiveHeader(App& app, const std::string& path);
// Re-creates a Crate from an archive that a backup made.
void ImportCrate(App& app, const std::string& path);

}  // namespace stowaway
