#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/JobKind.h"

namespace stowaway {

struct JobContext;

inline constexpr const char* LogErrorPrefix = "    Error: ";

// The lines of one archiver run in the run log.
std::string RunBanner(const JobContext& ctx, JobKind kind);
std::string RunStartLine(const JobContext& ctx, JobKind kind, std::int32_t filesToDo);
std::string RunEndLine(const JobContext& ctx, JobKind kind, std::int32_t filesDone);
// "    Crate: NAME - Archive: PATH": which Crate and archive a run is about (the
// described lines name neither); empty when no Crate is selected.
std::string RunCrateLine(const JobContext& ctx);
// A restore that kept files newer than the archive's copy says how many, just
// before its end line; a run that kept none logs no such line.
std::string RunKeptNewerLine(std::int32_t keptNewer);

// Appends lines, each ended by CR LF, to the run log at LogPath, creating it when
// missing. A log that cannot be opened is told to the user once; the job goes on.
void AppendToRunLog(const JobContext& ctx, const std::vector<std::string>& lines);

}  // namespace stowaway
