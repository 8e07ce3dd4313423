#pragma once

#include <cstdint>
#include <string>

#include "engine/JobKind.h"

namespace stowaway {

struct JobContext;

// The archiver's exit status when it put its new archive in place but had
// problems to report; a higher one means the old archive was left (or is gone).
inline constexpr std::uint32_t ArchiverWarningStatus = 1;

// One archiver run: writes the batch file, starts it through the command
// interpreter, waits while the window stays live, scans the captured output and
// appends banner, start, error and end lines to the run log. True when the
// closing scan found no error line. `line`, when given, replaces the line formed
// from ArchiverCommand and ArchiverTail (the argument dialog's edited line).
// While another job runs it starts nothing, says so and returns false.
bool RunArchiver(const JobContext& ctx, const std::string& batchPath, const std::string& outputPath,
                 JobKind kind, const std::string* line = nullptr);

// RunArchiver for a job that already holds the job slot (JobGuard).
bool RunArchiverInJob(const JobContext& ctx, const std::string& batchPath,
                      const std::string& outputPath, JobKind kind,
                      const std::string* line = nullptr);

// The line a run writes into the batch file: the trimmed command, one blank, the
// trimmed tail; lower-cased where file names ignore case.
std::string ArchiverLine(const JobContext& ctx);

// Counts stored or extracted files, finds error lines and moves the progress bar.
// The closing scan also appends the error lines to the run log.
bool ScanArchiverOutput(const JobContext& ctx, const std::string& outputPath, JobKind kind);

// Open the run log / the last captured archiver output in the text viewer.
void ViewLog(const JobContext& ctx);
void ViewArchiverOutput(const JobContext& ctx);

}  // namespace stowaway
