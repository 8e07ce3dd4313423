#include "NewVolumes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "Names.h"
#include "Output.h"
#include "VolumeSet.h"
#include "commit/VolumePlan.h"

namespace pkzip {

std::optional<std::string> ConsoleMediumAsker::AskNextMedium(const std::string& need,
                                                             std::string& why) {
    if (!ConsoleVolumeAsker::CanAsk()) {
        why = "no one is there to put in another medium";
        return std::nullopt;
    }
    Line("The medium is full. Put in a new one for " + need +
         " and press Enter, or type the folder to go on in (q stops):");
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        why = "no answer came (the input ended)";
        return std::nullopt;
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    if (answer == "q" || answer == "Q") {
        why = "stopped at the user's request";
        return std::nullopt;
    }
    while (answer.size() > 1 && answer.back() == '/') answer.pop_back();
    return answer;
}

NewVolumes::NewVolumes(const std::string& archive, MediumAsker& asker)
    : archive_(archive), folder_(FolderOf(archive)), asker_(asker) {}

NewVolumes::~NewVolumes() {
    if (committed_) return;
    for (size_t d = 1; d < vols_.size(); ++d) {
        if (!vols_[d].final) os::Remove(vols_[d].path);
    }
    first_.Discard();
}

bool NewVolumes::Begin(std::string& error) {
    if (!first_.Create(folder_, LeafOf(archive_), error)) return false;
    TempFile::RemoveVolumesOnSignal();
    leaf_ = LeafOf(first_.Path());
    vols_.push_back({folder_, first_.Path(), false});
    return true;
}

std::string NewVolumes::FinalName(uint32_t disk, uint32_t disks, const std::string& folder) const {
    const std::string name = VolumeSet::VolumeName(archive_, disk, disks);
    return folder == FolderOf(archive_) ? name : folder + "/" + LeafOf(name);
}

os::Handle NewVolumes::Create(uint32_t disk) {
    if (disk == 0) return os::Duplicate(first_.Fd());  // made by Begin
    char num[16];
    std::snprintf(num, sizeof num, ".z%02u", disk + 1);
    const std::string path = folder_ + "/" + leaf_ + num;
    const os::Handle fd =
        os::Open(path, os::kRead | os::kWrite | os::kCreate | os::kExclusive, 0600);
    if (fd == os::kNoHandle) {
        throw WriteError("cannot create the volume " + Shown(path) + ": " +
                         ErrnoText(os::LastError()));
    }
    vols_.resize(disk + 1);
    vols_[disk] = {folder_, path, false};
    return fd;
}

os::Handle NewVolumes::Reopen(uint32_t disk) {
    if (vols_[disk].final) {
        throw WriteError("the volume " + Shown(vols_[disk].path) +
                         " would have to change, but its medium was already taken out");
    }
    const os::Handle fd = os::Open(vols_[disk].path, os::kRead | os::kWrite);
    if (fd == os::kNoHandle) {
        throw WriteError("cannot open the volume " + Shown(vols_[disk].path) +
                         " again: " + ErrnoText(os::LastError()));
    }
    return fd;
}

void NewVolumes::Remove(uint32_t disk) {
    if (disk == 0 || disk >= vols_.size()) return;
    if (!vols_[disk].final) os::Remove(vols_[disk].path);
    vols_.resize(disk);
}

void NewVolumes::MediumFull(uint32_t disk) {
    char need[64];
    std::snprintf(need, sizeof need, "volume %u (", disk + 2);
    const std::string next = VolumeSet::VolumeName(archive_, disk + 1, disk + 3);
    std::string why;
    std::optional<std::string> answer;
    for (;;) {
        answer = asker_.AskNextMedium(
            std::string(need) + Shown(LeafOf(next)) + " or " + Shown(LeafOf(archive_)) + ")", why);
        if (!answer) throw WriteError("the medium is full and " + why);
        os::FileInfo st;
        if (answer->empty() || (os::StatPath(*answer, st) && st.type == os::FileType::Folder))
            break;
        Line(Shown(*answer) + " is not a folder");
    }
    if (!answer->empty()) {
        folder_ = *answer;
        return;
    }
    // The medium in this folder is taken out: what it holds gets its final
    // name now, as no later step can reach it.
    swapped_ = true;
    for (uint32_t d = 0; d <= disk; ++d) {
        Volume& v = vols_[d];
        if (v.final || v.folder != folder_) continue;
        const std::string final = FinalName(d, d + 2, v.folder);  // never the last one
        os::SetPathMode(v.path, 0666 & ~os::CreationMask());
        if (!os::Rename(v.path, final)) {
            throw WriteError("cannot name the volume " + Shown(final) + ": " +
                             ErrnoText(os::LastError()));
        }
        v.path = final;
        v.final = true;
    }
    // An older archive there cannot be kept: with the new volumes beside it,
    // it would look like the end of a set it does not belong to.
    // Once: where a removed file keeps its name while open (FAT media on
    // Windows), it would seem to be there again at the next swap.
    if (!removedOld_ && folder_ == FolderOf(archive_) && os::Remove(archive_)) {
        removedOld_ = true;
        Line("The old archive " + Shown(archive_) +
             " on the full medium was removed: its medium was needed for the new set");
    }
}

std::vector<std::string> NewVolumes::Paths() const {
    std::vector<std::string> out;
    for (const Volume& v : vols_) out.push_back(v.path);
    return out;
}

commit::Outcome NewVolumes::Commit(uint32_t mode, const std::vector<std::string>& oldVolumes,
                                   std::vector<std::string>& removed, std::string& error) {
    const auto disks = static_cast<uint32_t>(vols_.size());
    if (!first_.Seal(mode, error)) return commit::Outcome::RolledBack;
    commit::NewSet set;
    for (uint32_t d = 0; d < disks; ++d) {
        const Volume& v = vols_[d];
        if (v.final) {
            set.placed.push_back(v.path);
            continue;
        }
        if (d > 0 && !os::SetPathMode(v.path, mode)) {
            error = "cannot set the mode of " + Shown(v.path) + ": " + ErrnoText(os::LastError());
            return commit::Outcome::RolledBack;
        }
        set.toPlace.push_back({v.path, disks == 1 ? archive_ : FinalName(d, disks, v.folder)});
    }
    commit::Journal journal;
    if (!commit::PlanCommit(archive_, oldVolumes, set, journal, error)) {
        return commit::Outcome::RolledBack;
    }
    const commit::Outcome outcome = commit::CommitSet(archive_, journal, error);
    if (outcome != commit::Outcome::Done) return outcome;
    removed = commit::RemovedOldFiles(journal);
    first_.Release();
    for (uint32_t d = 0; d < disks; ++d) {
        Volume& v = vols_[d];
        if (!v.final) v.path = disks == 1 ? archive_ : FinalName(d, disks, v.folder);
        v.final = true;
    }
    committed_ = true;
    return outcome;
}

}  // namespace pkzip
