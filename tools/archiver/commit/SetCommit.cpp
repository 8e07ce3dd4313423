#include "SetCommit.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <set>

#include "FileSteps.h"
#include "Names.h"
#include "WorkOwner.h"

namespace pkzip::commit {
namespace {

// A journal of another machine is left alone while that machine may still be
// at work on it.
constexpr time_t kForeignJournalAge = 3600;

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsNewFile(const std::string& path, const NewVolume& v) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == v.dev &&
           static_cast<uint64_t>(st.st_ino) == v.ino;
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
    if (::rename(a.aside.c_str(), a.final.c_str()) != 0) return false;
    if (Exists(a.aside)) ::unlink(a.aside.c_str());
    return true;
}

std::string Describe(const char* what, const std::string& path, int err) {
    return std::string(what) + " " + path + " (" + std::strerror(err) + ")";
}

// Blocks the interrupting signals while files move: an interruption then
// waits for the commit or its undoing to finish.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t block;
        sigemptyset(&block);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&block, sig);
        ::sigprocmask(SIG_BLOCK, &block, &old_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }

  private:
    sigset_t old_;
};

}  // namespace

Outcome CommitSet(const std::string& archive, const Journal& plan, std::string& error) {
    SignalsHeld held;
    // The journal names the process that moves the files.
    Journal j = plan;
    j.host = ThisHost();
    j.pid = static_cast<long>(::getpid());
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
        if (!ok && byLink && errno != EIO) ok = StepRename(a.final, a.aside);  // no hard links here
        if (!ok && errno == ENOENT) continue;  // gone meanwhile: nothing to keep
        if (!ok) {
            failure = Describe("cannot move aside the old", a.final, errno);
            break;
        }
    }
    if (failure.empty()) {
        for (; placeDone < j.place.size(); ++placeDone) {
            const NewVolume& v = j.place[placeDone];
            if (!StepRename(v.work, v.final)) {
                failure = Describe("cannot rename the new volume to", v.final, errno);
                break;
            }
        }
    }
    SyncFolders(archive, j);

    if (failure.empty()) {
        StepCheckpoint();
        for (const AsideFile& a : j.aside) ::unlink(a.aside.c_str());
        for (const std::string& s : j.stale) ::unlink(s.c_str());
        ::unlink(journal.c_str());
        SyncFolders(archive, j);
        return Outcome::Done;
    }

    // Undo, newest step first.
    std::string stuck;
    for (size_t k = placeDone; k-- > 0;) {
        const NewVolume& v = j.place[k];
        if (::rename(v.final.c_str(), v.work.c_str()) != 0 && stuck.empty()) {
            stuck = Describe("the new volume could not be taken back from", v.final, errno);
        }
    }
    for (size_t i = asideDone; i-- > 0;) {
        if (stuck.empty() && !PutBack(j.aside[i])) {
            stuck = Describe("the old volume could not be put back from", j.aside[i].aside, errno);
        }
    }
    SyncFolders(archive, j);
    if (!stuck.empty()) {
        error = failure + ", and " + stuck + "; the journal " + journal +
                " stays, and the next run on this archive puts the old set back";
        return Outcome::Stuck;
    }
    ::unlink(journal.c_str());
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
        if (::unlink(journal.c_str()) != 0) {
            report = "cannot remove the unfinished commit journal " + journal + ": " +
                     std::strerror(errno);
            return Recovery::Failed;
        }
        report = "an interrupted update had not yet touched the archive; its journal was removed";
        return Recovery::RolledBack;
    }
    if (j.host == ThisHost()) {
        const bool alive = j.pid == static_cast<long>(::getpid()) || ProcessAlive(j.pid);
        if (alive) {
            report = "another run (process " + std::to_string(j.pid) +
                     ") is putting a new version of the archive in place";
            return Recovery::Busy;
        }
    } else {
        struct stat st {};
        if (::stat(journal.c_str(), &st) == 0 &&
            std::time(nullptr) - st.st_mtime < kForeignJournalAge) {
            report = "a run on the computer " + j.host +
                     " is putting a new version of the archive in place (" + journal + ")";
            return Recovery::Busy;
        }
    }

    SignalsHeld held;
    bool complete = true;
    for (const NewVolume& v : j.place) complete = complete && IsNewFile(v.final, v);
    if (complete) {
        for (const AsideFile& a : j.aside) ::unlink(a.aside.c_str());
        for (const std::string& s : j.stale) ::unlink(s.c_str());
        SyncFolders(archive, j);
        ::unlink(journal.c_str());
        report =
            "an interrupted update had already put its new archive in place; the old volumes were "
            "removed";
        return Recovery::Completed;
    }
    for (const NewVolume& v : j.place) {
        if (IsNewFile(v.final, v)) ::unlink(v.final.c_str());
        ::unlink(v.work.c_str());
    }
    for (const AsideFile& a : j.aside) {
        if (!PutBack(a)) {
            report = "an interrupted update could not be undone: cannot put " + a.aside +
                     " back as " + a.final + " (" + std::strerror(errno) + ")";
            return Recovery::Failed;
        }
    }
    SyncFolders(archive, j);
    ::unlink(journal.c_str());
    report = "an interrupted update was undone: the old archive is back in place";
    return Recovery::RolledBack;
}

}  // namespace pkzip::commit
