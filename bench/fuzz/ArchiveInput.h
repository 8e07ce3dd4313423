// The first step of both fuzz targets of the archiver's read side.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace pkzip::fuzz {

// Writes the input as input.zip in a scratch folder of the process's own and
// returns the folder, or an empty string when the file could not be written.
// Standard output is silenced: the listing's and the restore's lines are not
// what is looked at.
inline std::string InputAsArchive(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        (void)std::freopen("/dev/null", "w", stdout);
        char templ[] = "/tmp/pkzip-fuzz-XXXXXX";
        return std::string(::mkdtemp(templ));
    }();
    const std::string archive = dir + "/input.zip";
    const int fd = ::open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return "";
    const bool written = size == 0 || ::write(fd, data, size) == static_cast<ssize_t>(size);
    ::close(fd);
    return written ? dir : "";
}

}  // namespace pkzip::fuzz
