// Console lines of the archiver. The caller reads our output while we run and
// counts lines by marker: "done." per stored file, "Inflating:" per extracted
// file, "Kept newer:" per file kept because it is newer than the archive's
// copy, and "PKZIP:" for every problem. Every line is flushed at once.
#pragma once

#include <string>
#include <string_view>

namespace pkzip {

// A plain line; `text` must not carry a marker by accident (see Shown).
void Line(std::string_view text);

// A problem line: "PKZIP: " + text. Makes the run end with a non-zero status.
void Problem(std::string_view text);

int ProblemCount();

// A file or archive name made safe to put on a line: control characters become
// '?', and a marker inside the name is broken up so that a file called
// "done.txt" is not counted as a stored file.
std::string Shown(std::string_view name);

// "strerror" for the current or a given errno value.
std::string ErrnoText(int err);

}  // namespace pkzip
