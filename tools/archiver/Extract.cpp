#include "Extract.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_set>

#include "ArchiveReader.h"
#include "NameIndex.h"
#include "NameSelection.h"
#include "Names.h"
#include "NewerFiles.h"
#include "OpenArchive.h"
#include "Output.h"
#include "PathCase.h"
#include "RestoreWorkFile.h"
#include "VolumeSet.h"
#include "Workers.h"

namespace pkzip {
namespace {

constexpr int kFatal = 2;

struct FolderTimes {
    std::string_view rel;  // below the target
    size_t depth;
    int64_t mtime;
    uint32_t nsec;
    mode_t mode;
    bool hasMode;
};

// "a/b/c" -> "a/b" and "c"; "c" -> "" and "c".
std::string_view FolderPart(std::string_view rel) {
    const size_t slash = rel.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : rel.substr(0, slash);
}
std::string_view LeafPart(std::string_view rel) {
    return rel.substr(rel.rfind('/') + 1);
}
size_t Depth(std::string_view rel) {
    return rel.empty() ? 0 : 1 + static_cast<size_t>(std::count(rel.begin(), rel.end(), '/'));
}

// Asks on the console whether to replace a newer file. On the error stream,
// as the volume question, so that it shows even when the lines are redirected.
std::optional<std::string> AskOnConsole(const std::string& shown) {
    std::fflush(stdout);
    const std::string prompt = "Replace " + shown +
                               "? The file there is newer than the archive's copy. Answer y "
                               "(yes), n (no), a (all) or none:\n";
    std::fwrite(prompt.data(), 1, prompt.size(), stderr);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return std::nullopt;
    return answer;
}

// One entry to restore, as planned before any thread starts: the entry and
// where it goes below the target ("a/b/c", safe: no "..", no empty part),
// mostly a view of the entry's own path in the reader.
struct Job {
    std::string_view rel;
    uint32_t index;
    bool file;  // a regular file, written through a work file
};

class Restorer {
  public:
    Restorer(const Options& o, const ArchiveReader& zr, int targetFd, NameSelection* selection)
        : o_(o),
          zr_(zr),
          target_(targetFd),
          selection_(selection),
          newer_(ConsoleVolumeAsker::CanAsk() ? NewerFileGate::Ask(AskOnConsole)
                                              : NewerFileGate::Ask()) {}
    void Plan();
    void Work();
    void FinishFolders();
    void RemoveLeftoverWorkFiles();

  private:
    // What one thread keeps between entries: its last folder, and its
    // "Inflating:" lines, written a few at a time.
    struct DirCache {
        std::string key;
        int fd = -1;
        std::string done;
        int doneCount = 0;
        std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
        void Flush() {
            if (!done.empty()) {
                done.pop_back();
                Line(done);
            }
            done.clear();
            doneCount = 0;
            since = std::chrono::steady_clock::now();
        }
        ~DirCache() {
            if (fd >= 0) ::close(fd);
        }
    };

    void One(const Job& job, DirCache& cache);
    // Opens (creating as needed) the folder `rel` ("a/b", "" for the target) below the
    // target, never following a symbolic link. Returns -1 with `why` set.
    int OpenFolder(std::string_view rel, std::string& why);
    int OpenFolderCached(std::string_view rel, DirCache& cache, std::string& why);
    ReadStatus WriteFile(const ArchiveEntry& e, int dirFd, const std::string& leaf, bool present,
                         bool& kept, std::string& error, std::string& why);
    bool MayReplace(const ArchiveEntry& e, int dirFd, const std::string& leaf, bool& present);

    const Options& o_;
    const ArchiveReader& zr_;
    int target_;
    NameSelection* selection_;  // null: every entry
    std::vector<Job> jobs_;
    std::deque<std::string> ownPaths_;              // the few paths that are not the entry's own
    std::vector<std::pair<size_t, size_t>> units_;  // [begin, end) of jobs_
    std::atomic<size_t> next_{0};
    std::mutex foldersMutex_;
    std::vector<FolderTimes> folders_;
    NewerFileGate newer_;
};

void Restorer::Plan() {
    // Where each entry goes; an empty view for one that is not restored.
    const size_t count = zr_.Count();
    std::vector<std::string_view> rels(count);
    // The entries asked for; the others are not even looked at.
    std::vector<bool> chosen(count, true);
    std::string rel;
    for (size_t i = 0; i < count; ++i) {
        const ArchiveEntry e = zr_.Entry(i);
        if (selection_ && !e.isHeader) {
            // Both asked, so that each listed name met is known.
            const bool byName = selection_->Selects(e.name);
            const bool byPath = e.path != e.name && selection_->Selects(e.path);
            chosen[i] = byName || byPath;
        }
        if (e.isHeader || !chosen[i] || !e.damage.empty() || !SafeRelativePath(e.path, rel))
            continue;
        if (e.path.starts_with(rel)) {
            rels[i] = e.path.substr(0, rel.size());
        } else {
            ownPaths_.push_back(rel);
            rels[i] = ownPaths_.back();
        }
    }
    // Duplicate names: the later entry of the central directory wins, as
    // with unzip overwriting, and only it is written. Indexed back to front,
    // the index finds the last entry of each name.
    NameIndex last;
    last.Build(
        count, [&](size_t k) { return rels[count - 1 - k]; },
        [&](size_t k) { return rels[count - 1 - k].data() != nullptr; });
    std::set<std::string> warned;
    for (size_t i = 0; i < count; ++i) {
        const ArchiveEntry e = zr_.Entry(i);
        if (e.isHeader || !chosen[i]) continue;
        const std::string shown = Shown(e.name);
        if (!e.damage.empty()) {
            Problem("cannot restore " + shown + ": the entry is damaged: " + e.damage);
            continue;
        }
        if (rels[i].data() == nullptr) {
            Problem("refused " + shown + ": the name leads outside the target folder");
            continue;
        }
        if (count - 1 - last.Find(rels[i]) != i) {
            if (warned.insert(std::string(rels[i])).second)
                Problem("the name " + Shown(rels[i]) +
                        " is in the archive more than once; the last entry is restored");
            continue;
        }
        jobs_.push_back(
            {rels[i], static_cast<uint32_t>(i), !e.isDir && !e.isSymlink && !e.isSpecial});
    }
    // Threads take runs of entries of one folder, so that two of them do not
    // create files in the same folder at once (they would wait on each other
    // for its lock) and each keeps its folder open.
    size_t begin = 0;
    uint64_t bytes = 0;
    for (size_t i = 0; i < jobs_.size(); ++i) {
        const bool sameFolder = FolderPart(jobs_[i].rel) == FolderPart(jobs_[begin].rel);
        if (i > begin && (!sameFolder || i - begin >= 128 || bytes >= (8u << 20))) {
            units_.push_back({begin, i});
            begin = i;
            bytes = 0;
        }
        bytes += zr_.Entry(jobs_[i].index).size;
    }
    if (begin < jobs_.size()) units_.push_back({begin, jobs_.size()});
}

int Restorer::OpenFolder(std::string_view rel, std::string& why) {
    if (!rel.empty()) {
        // One call for a folder that exists, refusing links on the way.
        struct open_how how {};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const std::string path(rel);
        const long fd = ::syscall(SYS_openat2, target_, path.c_str(), &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
    }
    int fd = ::dup(target_);
    std::vector<std::string> parts;
    for (size_t pos = 0; !rel.empty() && pos <= rel.size();) {
        size_t slash = rel.find('/', pos);
        if (slash == std::string_view::npos) slash = rel.size();
        parts.emplace_back(rel.substr(pos, slash - pos));
        pos = slash + 1;
    }
    for (size_t i = 0; i < parts.size() && fd >= 0; ++i) {
        int sub = ::openat(fd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0 && errno == ENOENT) {
            if (::mkdirat(fd, parts[i].c_str(), 0755) != 0 && errno != EEXIST) {
                why = "cannot create the folder " + parts[i] + ": " + ErrnoText(errno);
                ::close(fd);
                return -1;
            }
            sub = ::openat(fd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (sub < 0) {
            struct stat st;
            if (::fstatat(fd, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode)) {
                why = "refused: the path leads through the symbolic link " + parts[i];
            } else if (errno == ENOTDIR || errno == ELOOP) {
                why =
                    "cannot create the folder " + parts[i] + ": a file of that name is in the way";
            } else {
                why = "cannot open the folder " + parts[i] + ": " + ErrnoText(errno);
            }
            ::close(fd);
            return -1;
        }
        ::close(fd);
        fd = sub;
    }
    return fd;
}

int Restorer::OpenFolderCached(std::string_view rel, DirCache& cache, std::string& why) {
    if (cache.fd >= 0 && cache.key == rel) return cache.fd;
    const int fd = OpenFolder(rel, why);
    if (fd < 0) return -1;
    if (cache.fd >= 0) ::close(cache.fd);
    cache.fd = fd;
    cache.key = rel;
    return fd;
}

// Every file is written under a work name and renamed at the end, so a
// damaged entry (found only once all of it is read), a failed write or a kill
// never leaves a file that looks restored, nor harms the copy already there.
// `present`: a file of that name was there when we looked and may be replaced.
ReadStatus Restorer::WriteFile(const ArchiveEntry& e, int dirFd, const std::string& leaf,
                               bool present, bool& kept, std::string& error, std::string& why) {
    const mode_t mode = e.hasUnixMode ? (e.unixMode & 0777) : 0644;
    RestoreWorkFile work(dirFd, leaf, mode);
    // Created on the first data, so that an entry that fails its checks in
    // memory leaves nothing to remove.
    auto sink = [&](const unsigned char* data, size_t len) {
        if (!work.Created() && !work.Create(why)) return false;
        return WriteRestoredBytes(work.Fd(), data, len, why);
    };
    const ReadStatus st = zr_.Extract(e, sink, error);
    if (st != ReadStatus::Ok) return st;
    if (!work.Created() && !work.Create(why)) return ReadStatus::SinkStopped;
    if (!work.Finish(e.mtime, e.mtimeNsec, why)) return ReadStatus::SinkStopped;
    RestoreWorkFile::Placed placed = work.Place(present, why);
    if (placed == RestoreWorkFile::Placed::Exists) {
        // A file of that name came meanwhile: judged as one found at the start.
        if (!MayReplace(e, dirFd, leaf, present)) {
            kept = true;
            return ReadStatus::Ok;
        }
        placed = work.Place(true, why);
    }
    return placed == RestoreWorkFile::Placed::Done ? ReadStatus::Ok : ReadStatus::SinkStopped;
}

// A file of that name already there: refused when it is a link or no file,
// kept when -extract=update finds it as new or newer, and with -extract=all
// kept when it is newer than the archive's copy unless the user says to
// replace it. Returns whether to write; `present` tells whether something is there.
bool Restorer::MayReplace(const ArchiveEntry& e, int dirFd, const std::string& leaf,
                          bool& present) {
    struct stat st;
    present = ::fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!present) return true;
    if (S_ISLNK(st.st_mode)) {
        Problem("refused " + Shown(e.name) + ": it would be written through a symbolic link");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Problem("cannot restore " + Shown(e.name) + ": a folder or other non-file is in the way");
        return false;
    }
    if (o_.extractUpdate) return st.st_mtime < e.mtime;
    if (o_.replaceNewer) return true;
    if (!DiskCopyIsNewer(st.st_mtime, e.mtime, e.timeSource == TimeSource::Dos)) return true;
    const std::string shown = Shown(e.name);
    if (newer_.MayReplace(shown)) return true;
    Line("  Kept newer: " + shown);
    return false;
}

void Restorer::One(const Job& job, DirCache& cache) {
    const ArchiveEntry e = zr_.Entry(job.index);
    const std::string shown = Shown(e.name);
    if (e.isSymlink) {
        Problem("skipped " + shown + ": symbolic links are not restored");
        return;
    }
    if (e.isSpecial) {
        Problem("skipped " + shown + ": neither a file nor a folder");
        return;
    }
    if (e.encrypted) {
        Problem("skipped " + shown + ": encrypted entries are not supported");
        return;
    }
    std::string why;
    if (e.isDir) {
        const int fd = OpenFolderCached(job.rel, cache, why);
        if (fd < 0) {
            Problem(shown + ": " + why);
            return;
        }
        std::lock_guard<std::mutex> lock(foldersMutex_);
        folders_.push_back({job.rel, Depth(job.rel), e.mtime, e.mtimeNsec,
                            static_cast<mode_t>(e.unixMode & 0777), e.hasUnixMode});
        return;
    }
    const int dirFd = OpenFolderCached(FolderPart(job.rel), cache, why);
    if (dirFd < 0) {
        Problem(shown + ": " + why);
        return;
    }
    const std::string leaf(LeafPart(job.rel));
    // -extract=update looks first; so does a large entry, which is not
    // decompressed only to be kept. A small one of -extract=all is looked
    // for only if its name is taken when it is put in place.
    bool present = false;
    if ((o_.extractUpdate || !zr_.FitsInMemory(e)) && !MayReplace(e, dirFd, leaf, present)) return;

    std::string error;
    bool kept = false;
    const ReadStatus st = WriteFile(e, dirFd, leaf, present, kept, error, why);
    if (kept) return;
    if (st == ReadStatus::Ok) {
        cache.done += "  Inflating: " + shown + "\n";
        if (++cache.doneCount >= 64 ||
            std::chrono::steady_clock::now() - cache.since > std::chrono::milliseconds(50))
            cache.Flush();
        return;
    }
    if (st == ReadStatus::Damaged) {
        why = "the entry is damaged: " + error;
    } else if (st != ReadStatus::SinkStopped) {
        why = error;
    }
    Problem("cannot restore " + shown + ": " + why);
}

void Restorer::Work() {
    DirCache cache;
    for (;;) {
        const size_t u = next_++;
        if (u >= units_.size()) break;
        for (size_t i = units_[u].first; i < units_[u].second; ++i) One(jobs_[i], cache);
    }
    cache.Flush();
}

void Restorer::FinishFolders() {
    // Deepest first, and after all files, so that writing into a folder does
    // not change its time again and a read-only folder does not block its files.
    std::stable_sort(folders_.begin(), folders_.end(),
                     [](const FolderTimes& a, const FolderTimes& b) { return a.depth > b.depth; });
    for (const FolderTimes& f : folders_) {
        std::string why;
        const int fd = OpenFolder(f.rel, why);
        if (fd < 0) continue;
        if (f.hasMode) ::fchmod(fd, f.mode);
        const struct timespec times[2] = {
            {0, UTIME_OMIT}, {static_cast<time_t>(f.mtime), static_cast<long>(f.nsec)}};
        ::futimens(fd, times);
        ::close(fd);
    }
}

// A restore that was killed leaves its work files; they carry the name of a
// file of the archive and their writer's host and process, so the next
// restore into the folder knows them and leaves those of live runs alone.
void Restorer::RemoveLeftoverWorkFiles() {
    // The files restored, grouped by folder: each folder is read once, with
    // the work names of its own files only.
    std::vector<uint32_t> files;
    for (size_t j = 0; j < jobs_.size(); ++j) {
        if (jobs_[j].file) files.push_back(static_cast<uint32_t>(j));
    }
    const auto folderOf = [&](size_t k) { return FolderPart(jobs_[files[k]].rel); };
    NameIndex folders;
    folders.Build(files.size(), folderOf);
    std::vector<uint32_t> first(files.size());  // the first file of each one's folder
    std::vector<uint32_t> count(files.size() + 1, 0);
    for (size_t k = 0; k < files.size(); ++k) {
        first[k] = static_cast<uint32_t>(folders.Find(folderOf(k)));
        ++count[first[k] + 1];
    }
    for (size_t k = 1; k < count.size(); ++k) count[k] += count[k - 1];
    std::vector<uint32_t> grouped(files.size());
    for (size_t k = 0; k < files.size(); ++k) grouped[count[first[k]]++] = static_cast<uint32_t>(k);
    for (size_t g = 0; g < grouped.size();) {
        const size_t leader = first[grouped[g]];
        std::unordered_set<std::string> leaves;
        for (; g < grouped.size() && first[grouped[g]] == leader; ++g)
            leaves.insert(WorkLeaf(LeafPart(jobs_[files[grouped[g]]].rel)));
        std::string why;
        const int fd = OpenFolder(folderOf(leader), why);
        if (fd < 0) continue;
        DIR* d = ::fdopendir(fd);
        if (!d) {
            ::close(fd);
            continue;
        }
        std::vector<std::string> remove;
        const long ownPid = static_cast<long>(::getpid());
        while (const dirent* ent = ::readdir(d)) {
            const std::optional<WorkNameInfo> info = ParseRestoreWorkName(ent->d_name);
            if (info && leaves.count(info->leaf) &&
                IsLeftoverWorkFile(*info, ThisHost(), ownPid, ProcessAlive))
                remove.emplace_back(ent->d_name);
        }
        for (const std::string& name : remove) {
            struct stat st;
            if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(st.st_mode))
                ::unlinkat(::dirfd(d), name.c_str(), 0);
        }
        ::closedir(d);
    }
}

}  // namespace

int RunRestore(const Options& o) {
    // Opened once and shared by every thread, so all of them read the same
    // archive even if it is replaced meanwhile.
    ArchiveReader zr;
    ConsoleVolumeAsker asker;
    if (!OpenArchive(o.archive, false, zr, asker)) return kFatal;
    std::string error;
    NameSelection selection;
    if (!o.nameFile.empty() && !selection.Load(tools::ResolvePathCase(o.nameFile), error)) {
        Problem(error);
        return kFatal;
    }
    for (const std::string& d : zr.Damage()) Problem("the archive is damaged: " + d);
    const std::string target = tools::ResolvePathCase(o.target);
    // The target folder itself is the user's choice and may be reached through a link.
    std::string path;
    for (size_t pos = 0; pos <= target.size();) {
        size_t slash = target.find('/', pos);
        if (slash == std::string::npos) slash = target.size();
        path = target.substr(0, slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            Problem("cannot create the target folder " + Shown(target) + ": " + ErrnoText(errno));
            return kFatal;
        }
        pos = slash + 1;
    }
    const int targetFd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (targetFd < 0) {
        Problem("cannot open the target folder " + Shown(target) + ": " + ErrnoText(errno));
        return kFatal;
    }

    Restorer restorer(o, zr, targetFd, o.nameFile.empty() ? nullptr : &selection);
    restorer.Plan();
    for (const std::string& name : selection.Unmatched())
        Problem("warning: " + Shown(name) + " is not in the archive");
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // One more than the cores: while one thread waits for the file system,
    // the others keep both cores busy.
    const unsigned threads = std::min(cores + 1, 8u);
    RunOnThreads(zr.Count() > 1 ? threads : 1, [&restorer] { restorer.Work(); });
    restorer.FinishFolders();
    restorer.RemoveLeftoverWorkFiles();
    ::close(targetFd);
    return ProblemCount() > 0 ? 1 : 0;
}

}  // namespace pkzip
