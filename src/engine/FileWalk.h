#pragma once

#include <ostream>
#include <string>

#include "engine/FolderRule.h"

namespace stowaway {

struct JobContext;

// Adds every file of `folder` (ending in the separator) that the mode selects to
// FilesToDo and, when `write` is set, writes its path as one CR LF line to `list`.
// Recurses into plain subfolders after the folder's own files when `recurse` is
// set. What cannot be read becomes a walk error of the job.
void EnumerateFolder(const JobContext& ctx, const std::string& folder, const std::string& wildcard,
                     int ruleYear, bool recurse, bool write, SelectMode mode,
                     std::ostream* list = nullptr);

// Parses one stored folder rule and walks it; a date rule without a readable year
// is a walk error and selects nothing.
void WalkFolderRule(const JobContext& ctx, const std::string& rule, bool write, std::ostream* list);

// Records a walk error: logged with the run and turning its result into an error.
void AddWalkError(const JobContext& ctx, std::string text);

}  // namespace stowaway
