#include "SetCommit.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <set>

#include "FileSteps.h"
#include "Names.h"
#include "Os.h"
#include "WorkOwner.h"

namespace pkzip::commit {
namespace {

// A journal of another machine is left alone while that machine may still be
// at work on it.
constexpr time_t kForeignJournalAge = 3600;

bool Exists(const std::string& path) {
    os::FileInfo st;
    return os::StatPath(path, st, false);
}

bool IsNewFile(const std::string& path, const NewVolume& v) {
    os::FileInfo st;
    return os::StatPath(path, st, false) && static_cast<uint64_t>(st.device) == v.dev &&
           static_cast<uint64_t>(st.index) == v.ino;
}

void SyncFolders(const std::string& archive, const Journal& j) {
    std::set<std::string> folders = {FolderOf(archive)};
    for (const NewVolume& v : j.place) folders.insert(FolderOf(v.final));
    for (const AsideFile& a : j.aside) folders.insert(FolderOf(a.aside));
    for (const std::string& f : folders) SyncFolder(f);
}

// Puts an aside file back under its own name. With a hard link both names
// are one file and rename does nothing: the aside name is then removed.
bool PutBack(const AsideFile& a) {
    if (!Exists(a.aside)) return true;
    if (!os::Rename(a.aside, a.final)) return false;
    if (Exists(a.aside)) os::Remove(a.aside);
    return true;
}

std::string Describe(const char* what, const std::string& path, int err) {
    return std::string(what) + " " + path + " (" + os::ErrorText(err) + ")";
}

// Interruptions wait while files move: the commit or its undoing finishes first.
using SignalsHeld = os::InterruptsHeld;

}  // namespace

Outcome CommitSet(const std::string& archive, const Journal& plan, std::string& error) {
    SignalsHeld held;
    // The journal names the process that moves the files.
    Journal j = plan;
    j.host = ThisHost();
    j.pid = os::ProcessId();
    const std::string journal = JournalPath(archive);
    if (Exists(journal)) {
        error = "an earlier commit's journal " + journal + " is still there; nothing was changed";
        return Outcome::RolledBack;
    }
    std::string why;
    if (!WriteJournal(journal, j, why)) {
        error = why + "; nothing was changed";
        return Outcome::RolledBack;
    }

    size_t asideDone = 0, placeDone = 0;
    std::string failure;
    for (; asideDone < j.aside.size(); ++asideDone) {
        const AsideFile& a = j.aside[asideDone];
        // A one-file archive replacing one file: the old name keeps the old
        // file until the rename over it, which is atomic.
        const bool byLink = asideDone == 0 && j.place.size() == 1 && a.final == j.place[0].final;
        bool ok = byLink ? StepLink(a.final, a.aside) : StepRename(a.final, a.aside);
        if (!ok && byLink && os::LastError() != EIO)
            ok = StepRename(a.final, a.aside);           // no hard links here
        if (!ok && os::LastError() == ENOENT) continue;  // gone meanwhile: nothing to keep
        if (!ok) {
            failure = Describe("cannot move aside the old", a.final, os::LastError());
            break;
        }
    }
    if (failure.empty()) {
        for (; placeDone < j.place.size(); ++placeDone) {
            const NewVolume& v = j.place[placeDone];
            if (!StepRename(v.work, v.final)) {
                failure = Describe("cannot rename the new volume to", v.final, os::LastError());
                break;
            }
        }
    }
    SyncFolders(archive, j);

    if (failure.empty()) {
        StepCheckpoint();
        for (const AsideFile& a : j.aside) os::Remove(a.aside);
        for (const std::string& s : j.stale) os::Remove(s);
        os::Remove(journal);
        SyncFolders(archive, j);
        return Outcome::Done;
    }

    // Undo, newest step first.
    std::string stuck;
    for (size_t k = placeDone; k-- > 0;) {
        const NewVolume& v = j.place[k];
        if (!os::Rename(v.final, v.work) && stuck.empty()) {
            stuck =
                Describe("the new volume could not be taken back from", v.final, os::LastError());
        }
    }
    for (size_t i = asideDone; i-- > 0;) {
        if (stuck.empty() && !PutBack(j.aside[i])) {
            stuck = Describe("the old volume could not be put back from", j.aside[i].aside,
                             os::LastError());
        }
    }
    SyncFolders(archive, j);
    if (!stuck.empty()) {
        error = failure + ", and " + stuck + "; the journal " + journal +
                " stays, and the next run on this archive puts the old set back";
        return Outcome::Stuck;
    }
    os::Remove(journal);
    error = failure + "; every volume was put back where it was";
    return Outcome::RolledBack;
}

Recovery Recover(const std::string& archive, std::string& report) {
    const std::string journal = JournalPath(archive);
    Journal j;
    bool missing = false;
    std::string why;
    if (!ReadJournal(journal, j, missing, why)) {
        if (missing) return Recovery::Nothing;
        // Cut short while being written: nothing had moved yet.
        if (!os::Remove(journal)) {
            report = "cannot remove the unfinished commit journal " + journal + ": " +
                     os::ErrorText(os::LastError());
            return Recovery::Failed;
        }
        report = "an interrupted update had not yet touched the archive; its journal was removed";
        return Recovery::RolledBack;
    }
    if (j.host == ThisHost()) {
        const bool alive = j.pid == os::ProcessId() || ProcessAlive(j.pid);
        if (alive) {
            report = "another run (process " + std::to_string(j.pid) +
                     ") is putting a new version of the archive in place";
            return Recovery::Busy;
        }
    } else {
        os::FileInfo st;
        if (os::StatPath(journal, st) &&
            std::time(nullptr) - os::Seconds(st.modified) < kForeignJournalAge) {
            report = "a run on the computer " + j.host +
                     " is putting a new version of the archive in place (" + journal + ")";
            return Recovery::Busy;
        }
    }

    SignalsHeld held;
    bool complete = true;
    for (const NewVolume& v : j.place) complete = complete && IsNewFile(v.final, v);
    if (complete) {
        for (const AsideFile& a : j.aside) os::Remove(a.aside);
        for (const std::string& s : j.stale) os::Remove(s);
        SyncFolders(archive, j);
        os::Remove(journal);
        report =
            "an interrupted update had already put its new archive in place; the old volumes were "
            "removed";
        return Recovery::Completed;
    }
    for (const NewVolume& v : j.place) {
        if (IsNewFile(v.final, v)) os::Remove(v.final);
        os::Remove(v.work);
    }
    for (const AsideFile& a : j.aside) {
        if (!PutBack(a)) {
            report = "an interrupted update could not be undone: cannot put " + a.aside +
                     " back as " + a.final + " (" + os::ErrorText(os::LastError()) + ")";
            return Recovery::Failed;
        }
    }
    SyncFolders(archive, j);
    os::Remove(journal);
    report = "an interrupted update was undone: the old archive is back in place";
    return Recovery::RolledBack;
}

}  // namespace pkzip::commit
