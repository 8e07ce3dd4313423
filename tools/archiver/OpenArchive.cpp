#include "OpenArchive.h"

#include "Names.h"
#include "Output.h"
#include "PathCase.h"
#include "commit/Settle.h"

namespace pkzip {

bool OpenArchive(const std::string& name, bool quiet, ArchiveReader& zr, VolumeAsker& asker) {
    std::string archive = tools::ResolvePathCase(name);
    std::string why;
    if (!ResolveArchivePath(archive, why)) {
        Problem("cannot open the archive " + Shown(name) + ": it " + why);
        return false;
    }
    if (!commit::SettleInterruptedCommit(archive, quiet)) return false;
    std::string error;
    std::string found;
    if (!VolumeSet::LocateLastVolume(archive, &asker, found, error)) {
        Problem("cannot open the archive " + Shown(name) + ": " + error);
        return false;
    }
    if (found != archive) {
        zr.AlsoLookIn(FolderOf(archive));
        archive = found;
    }
    if (!zr.Open(archive, error, &asker)) {
        Problem("cannot open the archive " + Shown(name) + ": " + error);
        return false;
    }
    return true;
}

}  // namespace pkzip
