// The brief listing (-view=brief).
//
// The program reads the stored header back from this listing with its item
// reader (items end at a comma or a line end, leading blanks are skipped, an
// empty line is an empty item): it skips eight items, expects the header's
// magic line as the ninth, and from there takes every second item. So the
// listing starts with six one-item lines (no commas), then prints every
// header line followed by an empty line: the header's own first line, which
// is empty, and its filler make items seven and eight.
#pragma once

#include "Options.h"

namespace pkzip {

// Returns the process exit status.
int RunListing(const Options& options);

}  // namespace pkzip
