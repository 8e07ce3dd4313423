#pragma once

#include <string>

namespace stowaway {

struct JobContext;

// Lists an archive through the archiver and reads the stored Crate description
// into ImportRecord; false (after telling the user) when it cannot. The second
// form is for a job that already holds the job slot.
bool ReadArchiveHeader(const JobContext& ctx, const std::string& path);
bool ReadArchiveHeaderInJob(const JobContext& ctx, const std::string& path);

}  // namespace stowaway
