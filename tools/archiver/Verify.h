// Read-back check of a freshly written archive before it may replace the old
// one: every entry is decompressed and its CRC compared.
#pragma once

#include <string>
#include <vector>

#include "ZipFormat.h"

namespace pkzip {

bool VerifyArchive(const std::string& path, const std::vector<EntryRecord>& expected,
                   const std::string& comment, unsigned threads, std::string& error);

}  // namespace pkzip
