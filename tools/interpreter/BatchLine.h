// One command line of a batch file: the output redirection taken off, the
// rest split into the program and its arguments.
#pragma once

#include <string>
#include <vector>

namespace interp {

struct BatchCommand {
    std::vector<std::string> args;  // args[0] is the program
    std::string outputFile;         // empty: no redirection
    bool append = false;            // ">>" rather than ">"
};

// Redirections are recognised outside quotes only; the last one wins. The
// file name may be quoted; unquoted it runs to the end of the line, so a path
// with blanks written without quotes still names one file. Returns false with `error` set for a '>'
// with no file name.
bool ParseBatchLine(const std::string& line, BatchCommand& out, std::string& error);

// The lines of a batch file, which may end in CR LF, LF or CR alone.
std::vector<std::string> SplitBatchLines(const std::string& text);

}  // namespace interp
