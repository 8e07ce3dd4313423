// The volumes of a new spanned archive: written under work names beside the
// archive (or in the folder the user names when a medium is full), renamed
// NAME.z01, NAME.z02, ... NAME.zip once the set is complete and checked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "OutFile.h"
#include "TempFile.h"
#include "commit/SetCommit.h"

namespace pkzip {

// Asked for the next medium when one is full.
class MediumAsker {
  public:
    virtual ~MediumAsker() = default;
    // `need` names the volume to come. Returns "" to go on in the same folder
    // (the medium was swapped), a folder to go on there, nullopt to stop,
    // with `why` set.
    virtual std::optional<std::string> AskNextMedium(const std::string& need, std::string& why) = 0;
};

// Asks on the console; without anyone to answer (standard input neither a
// terminal nor a pipe, or at its end) it stops.
class ConsoleMediumAsker : public MediumAsker {
  public:
    std::optional<std::string> AskNextMedium(const std::string& need, std::string& why) override;
};

class NewVolumes : public VolumeTarget {
  public:
    NewVolumes(const std::string& archive, MediumAsker& asker);
    ~NewVolumes() override;

    // Creates the first volume; false with `error`.
    bool Begin(std::string& error);
    os::Handle Create(uint32_t disk) override;
    os::Handle Reopen(uint32_t disk) override;
    void Remove(uint32_t disk) override;
    bool Sealed(uint32_t disk) const override { return disk < vols_.size() && vols_[disk].final; }
    void MediumFull(uint32_t disk) override;

    // Where each of `disks` volumes is now, disk 0 first.
    std::vector<std::string> Paths() const;
    bool SwappedMedia() const { return swapped_; }
    // The old archive on a full medium was removed to make room for the set.
    bool RemovedOldArchive() const { return removedOld_; }
    // Gives every volume `mode` and puts the set in place of the old one,
    // whose volumes are `oldVolumes` (see SetCommit).
    // `removed` gets the old volumes the new set did not replace.
    commit::Outcome Commit(uint32_t mode, const std::vector<std::string>& oldVolumes,
                           std::vector<std::string>& removed, std::string& error);
    // Name of volume `disk` of a set of `disks`.
    std::string FinalName(uint32_t disk, uint32_t disks, const std::string& folder) const;

  private:
    struct Volume {
        std::string folder;
        std::string path;
        bool final = false;  // already under its final name (its medium was swapped)
    };
    std::string archive_;
    std::string folder_;  // where the next volume goes
    std::string leaf_;    // of the first volume's work name
    MediumAsker& asker_;
    TempFile first_;
    std::vector<Volume> vols_;
    bool swapped_ = false;
    bool removedOld_ = false;
    bool committed_ = false;
};

}  // namespace pkzip
