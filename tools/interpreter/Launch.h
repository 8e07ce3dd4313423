// Finding and starting a program of a batch line directly (never through a
// shell, so '$', '`', ';', '&', '|', '*' in arguments are plain characters).
#pragma once

#include <string>
#include <vector>

#include "BatchLine.h"

namespace interp {

// A name with a '/' is a path (letter case fixed up where needed). A bare name
// is looked for in the batch file's folder, the interpreter's folder, then PATH.
std::string FindProgram(const std::string& name, const std::vector<std::string>& folders);

// The descriptor a "-password-fd=N" argument names, when it is open here (N is 3
// or more); -1 otherwise. Only the program of that line inherits it, and the
// interpreter closes it once the program has started: it carries one secret once.
int PassedDescriptor(const std::vector<std::string>& args);

// Marks every descriptor but the standard three close-on-exec, so that what the
// interpreter inherited goes no further unless a line names it.
void CloseOnExecAll();

// Runs the command and waits for it. Returns its exit status (128 + signal if
// it was killed); when it cannot be started, writes one line on the command's
// standard error (the redirection file, if any) and returns 127.
int RunCommand(const BatchCommand& cmd, const std::vector<std::string>& folders);

}  // namespace interp
