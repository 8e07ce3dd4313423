// Opening the archive a listing or a restore reads.
#pragma once

#include "ArchiveReader.h"
#include "VolumeSet.h"

namespace pkzip {

// Resolves the name as every mode does, settles an interrupted commit of the
// archive first, finds a set whose last volume went to another folder (asking
// `asker`), and opens it into `zr`. False once the problem has been printed.
// `quiet` sends the settling note to the error stream (a listing's standard
// output is read item by item).
bool OpenArchive(const std::string& name, bool quiet, ArchiveReader& zr, VolumeAsker& asker);

}  // namespace pkzip
