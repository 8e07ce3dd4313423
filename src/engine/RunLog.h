#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/JobKind.h"

namespace stowaway {

class App;

inline constexpr const char* LogErrorPrefix = "    Error: ";

// The lines of one archiver run in the run log.
std::string RunBanner(const App& app, JobKind kind);
std::string RunStartLine(const App& app, JobKind kind, std::int32_t filesToDo);
std::string RunEndLine(const App& app, JobKind kind, std::int32_t filesDone);

// Appends lines, each ended by CR LF, to the run log at LogPath, creating it when
// missing. A log that cannot be opened is told to the user once; the job goes on.
void AppendToRunLog(App& app, const std::vector<std::string>& lines);

}  // namespace stowaway
