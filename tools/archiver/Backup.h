// Adding files to an archive (-add=all / -add=update).
#pragma once

#include "Options.h"

namespace pkzip {

// Returns the process exit status.
int RunBackup(const Options& options);

}  // namespace pkzip
