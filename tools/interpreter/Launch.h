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

// Runs the command and waits for it. Returns its exit status (128 + signal if
// it was killed); when it cannot be started, writes one line on the command's
// standard error (the redirection file, if any) and returns 127.
int RunCommand(const BatchCommand& cmd, const std::vector<std::string>& folders);

}  // namespace interp
