// Entry names: how a listed file's path becomes the name stored in the
// archive, how a stored name is checked before anything is written for it on
// restore, and the text encoding flag.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pkzip {

// "/home/a/x.txt" -> "home/a/x.txt": the full path without its root, with
// empty and "." components dropped. Refuses (nullopt) a path with a ".."
// component or with nothing left, since such a name would point outside the
// folder it is later restored into.
std::optional<std::string> StoredName(std::string_view path);

// Splits a stored name into the components to create under the restore
// folder. Refuses (nullopt) an absolute name, a drive ("C:"), a backslash
// root, or ".." that climbs out of the folder; inner ".." components are
// resolved. A trailing '/' marks a folder and is not part of the result.
std::optional<std::vector<std::string>> SafeComponents(std::string_view name);

// The same components joined by '/' into `out`: the path to restore to,
// relative to the restore folder. False for a name SafeComponents refuses.
bool SafeRelativePath(std::string_view name, std::string& out);

// The folder part of a file path ("." when there is none) and the last part.
std::string FolderOf(const std::string& path);
std::string LeafOf(const std::string& path);

// The archive's real path: a symbolic link resolved, so that its volumes
// are looked for beside what it points at, and a write replaces that rather
// than the link. False with `why` for a link that points nowhere.
bool ResolveArchivePath(std::string& path, std::string& why);

bool IsValidUtf8(std::string_view s);
bool IsAscii(std::string_view s);

}  // namespace pkzip
