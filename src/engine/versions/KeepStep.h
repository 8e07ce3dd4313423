#pragma once

#include <string>

#include "engine/versions/KeptVersions.h"
#include "store/settings/KeepSettings.h"

namespace stowaway {

struct JobContext;

// Keeping earlier archives around one backup run of a Crate whose policy is on.
struct KeepRun {
    bool active = false;
    ArchiveName name;
    KeepPolicy policy;
    KeptLinks links;
};

// The Crate's policy from the settings file; the previous archive gets its dated
// name before the archiver starts. Inactive when keeping is off.
KeepRun BeginKeeping(const JobContext& ctx, const std::string& crateName,
                     const std::string& archivePath);
// After the archiver: settles the links, and after a successful run applies the
// policy. What it did goes to the run log.
void FinishKeeping(const JobContext& ctx, const KeepRun& run, bool backupSucceeded);

}  // namespace stowaway
