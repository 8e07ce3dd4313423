// The files an archive is made of: one plain NAME.zip, or a split set
// NAME.z01, NAME.z02, ... NAME.zip whose disks are numbered from 0. Reads are
// positioned (pread), so one open set is shared by every thread, and always
// reads the same files even if the archive is replaced meanwhile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Os.h"

namespace pkzip {

// Asked for the folder that holds a volume that is not where it should be.
class VolumeAsker {
  public:
    virtual ~VolumeAsker() = default;
    // `volume` is the full path looked for. Returns the folder to look in
    // next ("" = the same folder again), or nullopt to stop.
    virtual std::optional<std::string> AskFolder(const std::string& volume) = 0;
};

// Asks on the console when someone may answer: standard input is a terminal
// or a pipe. Prints one line naming the volume, reads one line; "q" or the
// end of input stops.
class ConsoleVolumeAsker : public VolumeAsker {
  public:
    std::optional<std::string> AskFolder(const std::string& volume) override;
    static bool CanAsk();
};

class VolumeSet {
  public:
    VolumeSet() = default;
    ~VolumeSet();
    VolumeSet(const VolumeSet&) = delete;
    VolumeSet& operator=(const VolumeSet&) = delete;

    // The volumes of the set are at these paths, disk 0 first, rather than
    // named after the last one (a set just written under work names).
    void UsePaths(std::vector<std::string> paths) { paths_ = std::move(paths); }
    // The other volumes may also be in `folder` (where the user named the set).
    void AlsoLookIn(std::string folder) { alsoIn_ = std::move(folder); }
    // `given` names the set's last volume. When it is not there but the set's
    // first volume is (the set went on in another folder when a medium was
    // full), asks `asker` for the folder that holds it. `found` is where it
    // is (`given` when it is there or no set is); false with `error` when
    // nobody says.
    static bool LocateLastVolume(const std::string& given, VolumeAsker* asker, std::string& found,
                                 std::string& error);
    // Opens the last (or only) volume, the file named by the user.
    bool OpenLast(const std::string& path, std::string& error);
    // Makes this a set of `disks` volumes; the others are found beside the
    // last one (or where `asker` says). Fails naming the missing volume.
    bool OpenSplit(uint32_t disks, VolumeAsker* asker, std::string& error);

    uint32_t DiskCount() const { return static_cast<uint32_t>(vols_.size()); }
    uint64_t VolumeSize(uint32_t disk) const { return vols_[disk].size; }
    const std::string& VolumePath(uint32_t disk) const { return vols_[disk].path; }
    // Open for positioned reads while the set lives.
    os::Handle VolumeFd(uint32_t disk) const { return vols_[disk].fd; }
    uint32_t LastDisk() const { return DiskCount() - 1; }
    bool IsSplit() const { return vols_.size() > 1; }

    // The name of volume `disk` of a set of `disks` volumes whose last one is `last`.
    static std::string VolumeName(const std::string& last, uint32_t disk, uint32_t disks);

    // Reads `len` bytes at (disk, offset), going on into the next volumes
    // when the data runs past the end of one. False on a short read, with
    // `error` set.
    bool ReadAt(uint32_t disk, uint64_t offset, void* buf, size_t len, std::string& error) const;
    // Reads up to `len` bytes there, fewer at the end of the set or on an
    // error; returns how many.
    size_t ReadSome(uint32_t disk, uint64_t offset, void* buf, size_t len) const;
    // Moves (disk, offset) forward by `n` bytes across volume ends.
    bool Advance(uint32_t& disk, uint64_t& offset, uint64_t n) const;

  private:
    struct Volume {
        std::string path;
        os::Handle fd = os::kNoHandle;
        uint64_t size = 0;
    };
    static bool OpenOne(const std::string& path, Volume& v, std::string& error);
    std::vector<Volume> vols_;
    std::vector<std::string> paths_;
    std::string alsoIn_;
};

}  // namespace pkzip
