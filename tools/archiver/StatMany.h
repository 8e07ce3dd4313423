#pragma once

#include <cstdint>
#include <vector>

namespace pkzip {

// What an update needs of a file's status, small: one for every listed file.
struct StatResult {
    int16_t error;  // the code of a failed stat, 0 when the rest holds the file's status
    uint16_t mode;  // Unix type and permission bits
    uint32_t mtimeNsec;
    int64_t mtimeSec;
};

// The status of every path, links followed, in order.
// An update that finds nothing new costs one stat per listed file, most of it
// the kernel walking each full path; the paths are shared out between
// threads, and a run of files in one folder is looked up from that folder.
std::vector<StatResult> StatMany(const std::vector<const char*>& paths);

}  // namespace pkzip
