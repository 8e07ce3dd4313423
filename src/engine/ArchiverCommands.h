#pragma once

#include <string>

#include "platform/PathStyle.h"

namespace stowaway {

struct JobContext;
struct CrateRecord;
struct WorkFiles;

// A path as one argument of a batch line, in double quotes; on POSIX the
// backslashes before the closing quote are doubled so they stay part of the name.
std::string QuotedArgument(const PathStyle& style, const std::string& path);
// The same when the path holds a blank or tab, as it is otherwise.
std::string QuoteIfBlank(const PathStyle& style, const std::string& path);

// A double quote, a line break or a NUL cannot be written into a batch line (a NUL
// names no file at all). Tells the user which path holds one and returns false.
bool CheckBatchPath(const JobContext& ctx, const std::string& path);

// The archiver beside the program.
std::string ArchiverPath(const JobContext& ctx);

// "PKZIP25.EXE" -default ... "archive" : the backup line without its tail.
std::string ComposeBackupCommand(const JobContext& ctx, const CrateRecord& crate,
                                 const WorkFiles& files);
// @"list" and, when the output is captured, > "output".
std::string ComposeBackupTail(const WorkFiles& files, bool captureOutput);
// PKZIP25.EXE -extract=... -dir=relative archive target
std::string ComposeRestoreCommand(const JobContext& ctx, const std::string& archive,
                                  const std::string& target, bool overwriteOlder);
std::string ComposeRestoreTail(const WorkFiles& files, bool captureOutput);
// "PKZIP25.EXE" -view=brief archive > listing
std::string ComposeListingCommand(const JobContext& ctx, const std::string& archive,
                                  const std::string& listing);

// The interpreter's command line for a batch file.
std::string InterpreterCommand(const std::string& batchPath);

}  // namespace stowaway
