#include "Extract.h"

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
#include <unordered_map>
#include <unordered_set>

#include "ArchiveReader.h"
#include "NameIndex.h"
#include "NameSelection.h"
#include "Names.h"
#include "NewerFiles.h"
#include "OpenArchive.h"
#include "Os.h"
#include "Output.h"
#include "PathCase.h"
#include "RestoreWorkFile.h"
#include "VolumeSet.h"
#include "Workers.h"

namespace pkzip {
namespace {

constexpr int kFatal = 2;

struct FolderTimes {
    std::string rel;  // below the target
    size_t depth;
    int64_t mtime;
    uint32_t nsec;
    uint32_t mode;
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
// mostly a view of the entry's own path in the batch of the directory.
struct Job {
    std::string_view rel;
    const ArchiveEntry* entry;
    bool file;  // a regular file, written through a work file
};

uint64_t NameHash(std::string_view rel) {
    return std::hash<std::string_view>{}(rel);
}

class Restorer {
  public:
    Restorer(const Options& o, const ArchiveReader& zr, os::Handle targetFd,
             NameSelection* selection)
        : o_(o),
          zr_(zr),
          target_(targetFd),
          selection_(selection),
          newer_(ConsoleVolumeAsker::CanAsk() ? NewerFileGate::Ask(AskOnConsole)
                                              : NewerFileGate::Ask()) {}
    // A pass over the directory for the places that more than one entry
    // would be restored to. False with `error` when it cannot be read.
    bool FindRepeatedNames(std::string& error);
    // Restores one batch of the directory's entries on `threads` threads.
    void RestoreBatch(const std::vector<ArchiveEntry>& batch, unsigned threads);
    void FinishFolders();

  private:
    void Plan(const std::vector<ArchiveEntry>& batch);
    // Whether a name file asks for the entry; both names are asked, so that
    // each listed name met is known.
    bool Chosen(const ArchiveEntry& e) const {
        if (selection_ == nullptr || e.isHeader) return true;
        const bool byName = selection_->Selects(e.name);
        const bool byPath = e.path != e.name && selection_->Selects(e.path);
        return byName || byPath;
    }
    void Work();
    void RemoveLeftoverWorkFiles();

    // What one thread keeps between entries: its last folder, and its
    // "Inflating:" lines, written a few at a time.
    struct DirCache {
        std::string key;
        os::Handle fd = os::kNoHandle;
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
            if (fd != os::kNoHandle) os::Close(fd);
        }
    };

    void One(const Job& job, DirCache& cache);
    // Opens (creating as needed) the folder `rel` ("a/b", "" for the target) below the
    // target, never following a symbolic link. Returns kNoHandle with `why` set.
    os::Handle OpenFolder(std::string_view rel, std::string& why);
    os::Handle OpenFolderCached(std::string_view rel, DirCache& cache, std::string& why);
    ReadStatus WriteFile(const ArchiveEntry& e, os::Handle dirFd, const std::string& leaf,
                         bool present, bool& kept, std::string& error, std::string& why);
    bool MayReplace(const ArchiveEntry& e, os::Handle dirFd, const std::string& leaf,
                    bool& present);

    const Options& o_;
    const ArchiveReader& zr_;
    os::Handle target_;
    NameSelection* selection_;  // null: every entry
    // The directory is read a batch at a time: only the batch's entries are
    // planned and held.
    std::vector<Job> jobs_;
    std::deque<std::string> ownPaths_;              // the few paths that are not the entry's own
    std::vector<std::pair<size_t, size_t>> units_;  // [begin, end) of jobs_
    // Hashes (sorted) of the places that more than one entry goes to, and
    // for those places the last such entry, the one restored.
    std::vector<uint64_t> repeated_;
    std::unordered_map<std::string, size_t> lastOf_;
    std::set<std::string> warned_;
    std::atomic<size_t> next_{0};
    std::mutex foldersMutex_;
    std::vector<FolderTimes> folders_;
    NewerFileGate newer_;
};

// Where an entry goes below the target; false for one that is not restored
// at all (the header, a damaged entry, a name that leads outside).
bool RestoredAs(const ArchiveEntry& e, std::string& rel) {
    return !e.isHeader && e.damage.empty() && SafeRelativePath(e.path, rel);
}

// Duplicate names: the later entry of the central directory wins, as with
// unzip overwriting, and only it is written. Most archives have none: the
// hashes of all places find the few to look at by name.
bool Restorer::FindRepeatedNames(std::string& error) {
    std::vector<uint64_t> hashes;
    hashes.reserve(zr_.Count());
    std::string rel;
    const auto hashAll = [&](const std::vector<ArchiveEntry>& batch) {
        for (const ArchiveEntry& e : batch) {
            if (Chosen(e) && RestoredAs(e, rel)) hashes.push_back(NameHash(rel));
        }
        return true;
    };
    if (!zr_.ForEachBatch(hashAll, error)) return false;
    std::sort(hashes.begin(), hashes.end());
    for (size_t i = 1; i < hashes.size(); ++i) {
        if (hashes[i] == hashes[i - 1] && (repeated_.empty() || repeated_.back() != hashes[i]))
            repeated_.push_back(hashes[i]);
    }
    hashes = {};
    if (repeated_.empty()) return true;
    const auto lastOfEach = [&](const std::vector<ArchiveEntry>& batch) {
        for (const ArchiveEntry& e : batch) {
            if (Chosen(e) && RestoredAs(e, rel) &&
                std::binary_search(repeated_.begin(), repeated_.end(), NameHash(rel)))
                lastOf_[rel] = e.index;
        }
        return true;
    };
    return zr_.ForEachBatch(lastOfEach, error);
}

void Restorer::Plan(const std::vector<ArchiveEntry>& batch) {
    std::string rel;
    for (const ArchiveEntry& e : batch) {
        if (e.isHeader || !Chosen(e)) continue;
        if (!e.damage.empty()) {
            Problem("cannot restore " + Shown(e.name) + ": the entry is damaged: " + e.damage);
            continue;
        }
        if (!SafeRelativePath(e.path, rel)) {
            Problem("refused " + Shown(e.name) + ": the name leads outside the target folder");
            continue;
        }
        if (!repeated_.empty() &&
            std::binary_search(repeated_.begin(), repeated_.end(), NameHash(rel))) {
            const auto last = lastOf_.find(rel);
            if (last != lastOf_.end() && last->second != e.index) {
                if (warned_.insert(rel).second)
                    Problem("the name " + Shown(rel) +
                            " is in the archive more than once; the last entry is restored");
                continue;
            }
        }
        std::string_view view;
        if (e.path.starts_with(rel)) {
            view = e.path.substr(0, rel.size());
        } else {
            ownPaths_.push_back(rel);
            view = ownPaths_.back();
        }
        jobs_.push_back({view, &e, !e.isDir && !e.isSymlink && !e.isSpecial});
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
        bytes += jobs_[i].entry->size;
    }
    if (begin < jobs_.size()) units_.push_back({begin, jobs_.size()});
}

void Restorer::RestoreBatch(const std::vector<ArchiveEntry>& batch, unsigned threads) {
    Plan(batch);
    next_ = 0;
    RunOnThreads(units_.size() > 1 ? threads : 1, [this] { Work(); });
    RemoveLeftoverWorkFiles();
    jobs_.clear();
    units_.clear();
    ownPaths_.clear();
}

os::Handle Restorer::OpenFolder(std::string_view rel, std::string& why) {
    if (!rel.empty()) {
        // One call for a folder that exists, refusing links on the way.
        const os::Handle fd = os::OpenFolderBeneath(target_, std::string(rel));
        if (fd != os::kNoHandle) return fd;
    }
    os::Handle fd = os::Duplicate(target_);
    std::vector<std::string> parts;
    for (size_t pos = 0; !rel.empty() && pos <= rel.size();) {
        size_t slash = rel.find('/', pos);
        if (slash == std::string_view::npos) slash = rel.size();
        parts.emplace_back(rel.substr(pos, slash - pos));
        pos = slash + 1;
    }
    for (size_t i = 0; i < parts.size() && fd != os::kNoHandle; ++i) {
        constexpr unsigned kSubFolder = os::kRead | os::kFolder | os::kNoFollow;
        os::Handle sub = os::OpenAt(fd, parts[i], kSubFolder);
        if (sub == os::kNoHandle && os::LastError() == ENOENT) {
            if (!os::MakeFolderAt(fd, parts[i]) && os::LastError() != EEXIST) {
                why = "cannot create the folder " + parts[i] + ": " + ErrnoText(os::LastError());
                os::Close(fd);
                return -1;
            }
            sub = os::OpenAt(fd, parts[i], kSubFolder);
        }
        if (sub == os::kNoHandle) {
            const int err = os::LastError();
            os::FileInfo st;
            if (os::StatAt(fd, parts[i], st) && st.type == os::FileType::Link) {
                why = "refused: the path leads through the symbolic link " + parts[i];
            } else if (err == ENOTDIR || err == ELOOP) {
                why =
                    "cannot create the folder " + parts[i] + ": a file of that name is in the way";
            } else {
                why = "cannot open the folder " + parts[i] + ": " + ErrnoText(err);
            }
            os::Close(fd);
            return -1;
        }
        os::Close(fd);
        fd = sub;
    }
    return fd;
}

os::Handle Restorer::OpenFolderCached(std::string_view rel, DirCache& cache, std::string& why) {
    if (cache.fd != os::kNoHandle && cache.key == rel) return cache.fd;
    const os::Handle fd = OpenFolder(rel, why);
    if (fd == os::kNoHandle) return os::kNoHandle;
    if (cache.fd != os::kNoHandle) os::Close(cache.fd);
    cache.fd = fd;
    cache.key = rel;
    return fd;
}

// Every file is written under a work name and renamed at the end, so a
// damaged entry (found only once all of it is read), a failed write or a kill
// never leaves a file that looks restored, nor harms the copy already there.
// `present`: a file of that name was there when we looked and may be replaced.
ReadStatus Restorer::WriteFile(const ArchiveEntry& e, os::Handle dirFd, const std::string& leaf,
                               bool present, bool& kept, std::string& error, std::string& why) {
    const uint32_t mode = e.hasUnixMode ? (e.unixMode & 0777) : 0644;
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
bool Restorer::MayReplace(const ArchiveEntry& e, os::Handle dirFd, const std::string& leaf,
                          bool& present) {
    os::FileInfo st;
    present = os::StatAt(dirFd, leaf, st);
    if (!present) return true;
    if ((st.type == os::FileType::Link)) {
        Problem("refused " + Shown(e.name) + ": it would be written through a symbolic link");
        return false;
    }
    if (!(st.type == os::FileType::File)) {
        Problem("cannot restore " + Shown(e.name) + ": a folder or other non-file is in the way");
        return false;
    }
    if (o_.extractUpdate) return os::Seconds(st.modified) < e.mtime;
    if (o_.replaceNewer) return true;
    if (!DiskCopyIsNewer(os::Seconds(st.modified), e.mtime, e.timeSource == TimeSource::Dos))
        return true;
    const std::string shown = Shown(e.name);
    if (newer_.MayReplace(shown)) return true;
    Line("  Kept newer: " + shown);
    return false;
}

void Restorer::One(const Job& job, DirCache& cache) {
    const ArchiveEntry& e = *job.entry;
    const std::string shown = Shown(e.name);
    if (e.isSymlink) {
        Problem("skipped " + shown + ": symbolic links are not restored");
        return;
    }
    if (e.isSpecial) {
        Problem("skipped " + shown + ": neither a file nor a folder");
        return;
    }
    if (e.encrypted && !e.isDir && !zr_.HasPassword()) return;  // said once for all
    std::string why;
    if (e.isDir) {
        const os::Handle fd = OpenFolderCached(job.rel, cache, why);
        if (fd == os::kNoHandle) {
            Problem(shown + ": " + why);
            return;
        }
        std::lock_guard<std::mutex> lock(foldersMutex_);
        folders_.push_back({std::string(job.rel), Depth(job.rel), e.mtime, e.mtimeNsec,
                            e.unixMode & 0777, e.hasUnixMode});
        return;
    }
    const os::Handle dirFd = OpenFolderCached(FolderPart(job.rel), cache, why);
    if (dirFd == os::kNoHandle) {
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
        const os::Handle fd = OpenFolder(f.rel, why);
        if (fd == os::kNoHandle) continue;
        if (f.hasMode) os::SetMode(fd, f.mode);
        os::SetModified(fd, os::MakeTime(f.mtime, f.nsec));
        os::Close(fd);
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
        const os::Handle fd = OpenFolder(folderOf(leader), why);
        if (fd == os::kNoHandle) continue;
        std::vector<std::string> remove;
        const long ownPid = os::ProcessId();
        os::ListFolder(fd, [&](const os::FolderEntry& ent) {
            const std::optional<WorkNameInfo> info = ParseRestoreWorkName(ent.name);
            if (info && leaves.count(info->leaf) &&
                IsLeftoverWorkFile(*info, ThisHost(), ownPid, ProcessAlive))
                remove.emplace_back(ent.name);
            return true;
        });
        for (const std::string& name : remove) {
            os::FileInfo st;
            if (os::StatAt(fd, name, st) && st.type == os::FileType::File) os::RemoveAt(fd, name);
        }
        os::Close(fd);
    }
}

}  // namespace

int RunRestore(const Options& o) {
    // Opened once and shared by every thread, so all of them read the same
    // archive even if it is replaced meanwhile.
    ArchiveReader zr;
    zr.StreamDirectory();
    ConsoleVolumeAsker asker;
    if (!OpenArchive(o.archive, false, zr, asker)) return kFatal;
    zr.UsePassword(o.password);
    if (o.password == nullptr) {
        size_t locked = 0;
        std::string unread;
        zr.ForEachBatch(
            [&](const std::vector<ArchiveEntry>& batch) {
                for (const ArchiveEntry& e : batch) locked += e.encrypted && !e.isDir;
                return true;
            },
            unread);
        if (locked > 0)
            Problem("the archive " + Shown(o.archive) + " is encrypted and needs a password (" +
                    std::to_string(locked) + " encrypted file(s) not restored)");
    }
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
    // A drive ("C:") is there already: the folders start after it.
    for (size_t pos = os::DriveLength(target) + 1; pos <= target.size();) {
        size_t slash = target.find('/', pos);
        if (slash == std::string::npos) slash = target.size();
        path = target.substr(0, slash);
        if (!path.empty() && !os::MakeFolder(path) && os::LastError() != EEXIST) {
            Problem("cannot create the target folder " + Shown(target) + ": " +
                    ErrnoText(os::LastError()));
            return kFatal;
        }
        pos = slash + 1;
    }
    const os::Handle targetFd = os::Open(target, os::kRead | os::kFolder);
    if (targetFd == os::kNoHandle) {
        Problem("cannot open the target folder " + Shown(target) + ": " +
                ErrnoText(os::LastError()));
        return kFatal;
    }

    Restorer restorer(o, zr, targetFd, o.nameFile.empty() ? nullptr : &selection);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // One more than the cores: while one thread waits for the file system,
    // the others keep both cores busy.
    const unsigned threads = std::min(cores + 1, 8u);
    const bool read =
        restorer.FindRepeatedNames(error) && zr.ForEachBatch(
                                                 [&](const std::vector<ArchiveEntry>& batch) {
                                                     restorer.RestoreBatch(batch, threads);
                                                     return true;
                                                 },
                                                 error);
    restorer.FinishFolders();
    os::Close(targetFd);
    if (read) {
        for (const std::string& name : selection.Unmatched())
            Problem("warning: " + Shown(name) + " is not in the archive");
    }
    if (!read) {
        Problem("cannot read the archive " + Shown(o.archive) + ": " + error);
        return kFatal;
    }
    return ProblemCount() > 0 ? 1 : 0;
}

}  // namespace pkzip
