#pragma once

#include <initializer_list>
#include <string>

namespace stowaway {

struct JobContext;

// The work files of archiver runs, beside the program.
struct WorkFiles {
    std::string batch;   // SWTemp.bat
    std::string header;  // SWHeader.dat
    std::string list;    // SWTemp.lst
    std::string output;  // SWTemp.dat
};

WorkFiles WorkFilePaths(const JobContext& ctx);

// Empties each file (deleted and created again). When one cannot be written the
// user is told and false is returned; the job must not run.
bool EmptyWorkFiles(const JobContext& ctx, std::initializer_list<std::string> paths);

// Tells the user that a work file could not be written.
void ReportWorkFileFailure(const JobContext& ctx, const std::string& path);

}  // namespace stowaway
