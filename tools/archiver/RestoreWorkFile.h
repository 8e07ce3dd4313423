// The work file a restored file is written under: created beside its final
// name, filled, given its mode and time, and only then renamed into place, so
// a kill never leaves a short file that looks restored. The name says which
// host and process wrote it, so a later restore removes only what dead runs
// of this host left.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Os.h"
#include "WorkOwner.h"

namespace pkzip {

// What a work name tells about the file it was to become and its writer.
struct WorkNameInfo {
    std::string leaf;  // the file's name, cut as in the work name
    std::string host;  // empty in the older form ".NAME.pkzip-NUMBER"
    long pid = 0;
};

// ".NAME.pkzip-HOST-PID-NUMBER", NAME cut to 200 bytes so that the whole stays
// a legal file name.
std::string RestoreWorkName(std::string_view leaf, std::string_view host, long pid,
                            uint64_t number);
// The leaf as a work name carries it.
std::string WorkLeaf(std::string_view leaf);
std::optional<WorkNameInfo> ParseRestoreWorkName(std::string_view name);
// Whether a work file may be removed as a leftover: one of the older form, or
// one of this host whose process is gone (or is this one, which has finished
// writing). Another host's processes cannot be checked from here.
bool IsLeftoverWorkFile(const WorkNameInfo& info, std::string_view host, long ownPid,
                        const std::function<bool(long)>& processAlive);

// Writes all of `len` bytes; false with `why` set.
bool WriteRestoredBytes(os::Handle fd, const unsigned char* data, size_t len, std::string& why);

class RestoreWorkFile {
  public:
    // `mode`: the permissions the file is to have.
    RestoreWorkFile(os::Handle dirFd, const std::string& leaf, uint32_t mode)
        : dirFd_(dirFd), leaf_(leaf), mode_(mode) {}
    ~RestoreWorkFile();
    RestoreWorkFile(const RestoreWorkFile&) = delete;
    RestoreWorkFile& operator=(const RestoreWorkFile&) = delete;

    bool Create(std::string& why);
    bool Created() const { return fd_ != os::kNoHandle || closed_; }
    os::Handle Fd() const { return fd_; }
    // Gives the file its whole mode and its modification time, then closes it.
    bool Finish(int64_t mtime, uint32_t nsec, std::string& why);

    enum class Placed { Done, Exists, Failed };
    // Renames the finished file to its final name. Without `replace` a file
    // that is there by then is left alone (Exists).
    Placed Place(bool replace, std::string& why);

  private:
    os::Handle dirFd_;
    std::string leaf_;
    uint32_t mode_;
    std::string name_;
    os::Handle fd_ = os::kNoHandle;
    bool closed_ = false;
    bool placed_ = false;
};

}  // namespace pkzip
