// Restoring an archive into a folder (-extract=all / -extract=update).
#pragma once

#include "Options.h"

namespace pkzip {

// Returns the process exit status.
int RunRestore(const Options& options);

}  // namespace pkzip
