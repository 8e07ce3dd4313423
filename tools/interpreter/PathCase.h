// The program writes batch lines in lower case (a habit from a file system that
// ignores letter case), so a path on the line may differ in case from the file
// on disk. Both the interpreter and the archiver look paths up with this.
#pragma once

#include <string>

namespace tools {

// Returns `path` itself when it exists. Otherwise walks it component by
// component and replaces each missing component by the one directory entry
// that equals it ignoring letter case (CaseFold); stops at the first component
// that is missing or ambiguous and keeps the rest as given.
std::string ResolvePathCase(const std::string& path);

bool IsRegularFile(const std::string& path);

}  // namespace tools
