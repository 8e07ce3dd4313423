#pragma once

#include <string>

namespace stowaway {

class App;
struct CrateRecord;
struct WorkFiles;

// A path in double quotes when it holds a blank, as it is otherwise.
std::string QuoteIfBlank(const std::string& path);

// A double quote cannot be written into a batch line. Tells the user which path
// holds one and returns false.
bool CheckBatchPath(App& app, const std::string& path);

// The archiver beside the program.
std::string ArchiverPath(const App& app);

// "PKZIP25.EXE" -default ... "archive" : the backup line without its tail.
std::string ComposeBackupCommand(const App& app, const CrateRecord& crate, const WorkFiles& files);
// @"list" and, when the output is captured, > "output".
std::string ComposeBackupTail(const WorkFiles& files, bool captureOutput);
// PKZIP25.EXE -extract=... -dir=relative archive target
std::string ComposeRestoreCommand(const App& app, const std::string& archive,
                                  const std::string& target, bool overwriteOlder);
std::string ComposeRestoreTail(const WorkFiles& files, bool captureOutput);
// "PKZIP25.EXE" -view=brief archive > listing
std::string ComposeListingCommand(const App& app, const std::string& archive,
                                  const std::string& listing);

// The interpreter's command line for a batch file.
std::string InterpreterCommand(const std::string& batchPath);

}  // namespace stowaway
