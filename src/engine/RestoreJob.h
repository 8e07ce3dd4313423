#pragma once

#include <string>

namespace stowaway {

struct JobContext;

// Extracts the selected Crate's archive into the typed restore location after
// confirmation; overwriteOlder replaces only files older than the archive's.
void RestoreCrate(const JobContext& ctx, const std::string& typedTarget, bool overwriteOlder);

}  // namespace stowaway
