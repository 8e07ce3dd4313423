#pragma once

#include <sys/stat.h>
#include <time.h>

#include <vector>

namespace pkzip {

// What an update needs of a file's status, small: one for every listed file.
struct StatResult {
    int error;  // errno of a failed stat, 0 when the rest holds the file's status
    mode_t mode;
    struct timespec mtime;
};

// The status of every path, as stat(2) gives it (links followed), in order.
// An update that finds nothing new costs one stat per listed file, most of it
// the kernel walking each full path; the paths are shared out between
// threads, and a run of files in one folder is looked up from that folder.
std::vector<StatResult> StatMany(const std::vector<const char*>& paths);

}  // namespace pkzip
