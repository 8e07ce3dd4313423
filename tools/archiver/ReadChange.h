// Whether a file changed while it was read, and reading a large one again
// when it was written to in place: its pieces have gone to the writer by the
// time the change shows, so the writer reads it once more itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Os.h"

namespace pkzip {

// Empty when the file at `now` is as it was at `atOpen` and `read` bytes
// were all of it; otherwise the warning's text. A file whose size stays 0 is
// a pseudo file that cannot tell its size; that is no change.
std::string ReadChange(const os::FileInfo& atOpen, const os::FileInfo& now, uint64_t read);

// The same, against the file as it is now.
std::string ReadChangeNow(os::Handle fd, const os::FileInfo& atOpen, uint64_t read);

// For the tests, a stand-in for another program writing to a file just as it
// is read: PKZIP_TEST_CHANGE_ON_READ=grow:N appends 4 KiB to the file after
// each of the first N reads of the run, rewrite:N changes its first byte in
// place and moves its modification time on by a second.
void ChangeOnRead(os::Handle fd, const char* path);

struct ReadAgainResult {
    std::string error;   // it could not be read: no entry for it
    std::string change;  // it changed again during this read
    os::FileInfo st;     // at open
    uint64_t size = 0;
    uint64_t packed = 0;
    uint32_t crc = 0;
};

// Reads `path` whole, deflated at libdeflate's `level` (0: as it is) piece by
// piece into `write`, at most `limit` bytes.
ReadAgainResult ReadAgain(const char* path, int level, uint64_t limit,
                          const std::function<void(const unsigned char*, size_t)>& write);

}  // namespace pkzip
