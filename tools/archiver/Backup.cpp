#include "Backup.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "ArchiveReader.h"
#include "CarryCheck.h"
#include "CarryOver.h"
#include "Compressor.h"
#include "EntryRecords.h"
#include "ListStream.h"
#include "NameIndex.h"
#include "Names.h"
#include "NewVolumes.h"
#include "OutFile.h"
#include "Output.h"
#include "PathCase.h"
#include "ReadChange.h"
#include "StatMany.h"
#include "TempFile.h"
#include "Verify.h"
#include "ZipFormat.h"
#include "commit/Settle.h"
#include "commit/VolumePlan.h"
#include "crypto/Aes2Entry.h"
#include "crypto/KeyCache.h"

namespace pkzip {
namespace {

using tools::ResolvePathCase;

constexpr int kFatal = 2;
constexpr int kWarnings = 1;

unsigned ThreadCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : std::min(n, 8u);
}

bool ReadWhole(const std::string& path, std::string& out, std::string& error) {
    if (os::ReadWholeFile(path, out)) return true;
    error = os::ErrorText(os::LastError());
    return false;
}

uint16_t NameFlags(std::string_view name) {
    return (!IsAscii(name) && IsValidUtf8(name)) ? kFlagUtf8 : 0;
}

// Whether the file on disk is newer than the archived copy, compared at the
// precision the archive holds: 100 ns with an NTFS time, whole seconds with a
// Unix time, a DOS time's two seconds (in local time) otherwise.
bool DiskIsNewer(int64_t seconds, uint32_t nanos, const ArchiveEntry& old) {
    switch (old.timeSource) {
        case TimeSource::Ntfs: {
            const uint32_t ns = nanos / 100 * 100;
            return seconds > old.mtime || (seconds == old.mtime && ns > old.mtimeNsec);
        }
        case TimeSource::Extended:
        case TimeSource::InfoZipUnix:
            return seconds > old.mtime;
        case TimeSource::Dos:
            break;
    }
    uint16_t t, d;
    ToDosTime(seconds, t, d);
    return (static_cast<uint32_t>(d) << 16 | t) >
           (static_cast<uint32_t>(old.dosDate) << 16 | old.dosTime);
}

// A writer fault made on purpose, for the tests of the check before the
// old archive is replaced: "junk" counts 8 bytes after a deflated entry's
// data in its compressed size, "carried-crc" spoils a carried entry's CRC in
// the new directory.
bool TestFault(std::string_view name) {
    const char* f = std::getenv("PKZIP_TEST_FAULT");
    return f != nullptr && name == f;
}

std::string Percent(uint64_t packed, uint64_t size) {
    if (size == 0 || packed >= size) return "0%";
    return std::to_string(100 - (packed * 100 + size - 1) / size) + "%";
}

class BackupRun {
  public:
    explicit BackupRun(const Options& o) : o_(o) {}
    int Run();

  private:
    bool LoadList();
    bool ForEachListed(const std::function<void(const std::vector<std::string_view>&)>& fn);
    bool OpenOldArchive();
    std::string WorkFolder() const;
    bool PasswordOpensOld();
    void StartSealing(OutFile& out);
    void WriteSealed(OutFile& out, unsigned char* data, size_t n);
    bool MayReplaceOld();
    bool ChooseSources();
    void ChooseFrom(const std::vector<std::string_view>& listed);
    bool FindNotNewerPaths(const std::vector<DamagedEntry>& damaged,
                           std::vector<std::string_view>& paths);
    std::string_view KeepName(std::string&& name, std::string_view path);
    void TakeName(std::string_view name);
    bool NameTaken(std::string_view name) const;
    bool TestCarried();
    bool HeaderUnchanged() const;
    void WriteHeaderEntry(OutFile& out);
    void StorePieces(OutFile& out);
    bool RestoreStored(OutFile& out, EntryRecord& e, std::string_view path);
    bool ReadLargeAgain(OutFile& out, EntryRecord& e, std::string_view path, std::string& warning);
    void DropEntry(OutFile& out, const EntryRecord& e, std::string_view path,
                   const std::string& why);
    void CopyOldEntries(OutFile& out);
    void WriteEntries(OutFile& out);
    void WriteDirectory(OutFile& out, const std::string& comment);
    std::string OldFate() const;
    std::vector<std::string> OldVolumePaths() const;
    bool PutInPlace(const commit::NewSet& set, std::string& why);
    void SayRemovedVolumes() const;
    void RemoveBrokenOldVolumes(const NewVolumes& volumes);
    int WriteVolumes(const std::string& comment);
    bool Replace(const std::string& path, const std::vector<std::string>& volumes,
                 const std::string& comment, const std::function<bool(std::string&)>& commit);
    void KeepOwnerAndMode(os::Handle fd, uint32_t& mode);
    std::string CommentToStore() const;

    const Options& o_;
    std::string archive_;
    std::string oldPath_;  // the old archive's last volume: archive_, unless the set moved on
    bool haveOld_ = false;
    os::FileInfo oldStat_;
    ArchiveReader old_;
    os::Handle oldFd_ = os::kNoHandle;  // the reader's own handle of it, for copying entries over
    NameIndex oldByName_;         // old entries but the header, by name, read in old_'s directory
    bool keepOldHeader_ = false;  // no -header: the old comment and header entry stay
    std::string header_;
    bool headerAsEntry_ = false;
    std::vector<std::unique_ptr<ListStream>> lists_;  // read a block at a time
    TextArena paths_;                // the listed paths kept: to store, or new names
    std::deque<std::string> names_;  // stored names that are no tail of their path
    std::vector<SourceFile> sources_;
    // By old index (the first of its name): a listed name already met.
    std::vector<bool> listedOld_;
    // Names listed that no old entry has, for the same.
    std::vector<std::string_view> newNames_;
    NameIndex newByName_;
    // By old index: its file is listed and not newer; it is looked for in
    // the list again should the entry turn out damaged.
    std::vector<bool> notNewer_;
    std::vector<bool> tested_;             // old entries tested before the run, by index
    std::optional<EntryRecords> records_;  // from WriteEntries on
    // By old index (the first of its name): an entry of that name is in the
    // new archive already, so the old one is not carried.
    std::vector<bool> nameTaken_;
    // The entry being written when the writer encrypts it (a file in pieces,
    // or one read again).
    std::unique_ptr<crypto::Aes2Encryptor> sealing_;
    crypto::KeyCache keys_;             // of the new entries, for the check after writing
    std::deque<std::string> dirNames_;  // "name/" of folders stored, which records_ point at
    size_t added_ = 0;
    size_t kept_ = 0;
    bool swapped_ = false;  // media were swapped: the old archive there is gone
    bool stuck_ = false;    // a failed commit could not be undone either
    std::vector<std::string> removedOld_;
};

bool BackupRun::LoadList() {
    for (const std::string& list : o_.listFiles) {
        std::string error;
        if (!lists_.emplace_back(std::make_unique<ListStream>())
                 ->Open(ResolvePathCase(list), error)) {
            Problem("cannot read the list file " + Shown(list) + ": " + error +
                    "; the archive was not changed");
            return false;
        }
    }
    return true;
}

// Calls `fn` with the listed paths in order, some thousands at a time: the
// list files', then those of the command line.
bool BackupRun::ForEachListed(const std::function<void(const std::vector<std::string_view>&)>& fn) {
    constexpr size_t kBatch = 65536;
    std::vector<std::string_view> batch;
    for (size_t k = 0; k < lists_.size(); ++k) {
        std::string error;
        if (lists_[k]->Rewind(error)) {
            while (lists_[k]->Next(kBatch, batch, error)) fn(batch);
        }
        if (!error.empty()) {
            Problem("cannot read the list file " + Shown(o_.listFiles[k]) + ": " + error +
                    "; the archive was not changed");
            return false;
        }
    }
    batch.clear();
    for (const std::string& f : o_.files) {
        batch.push_back(f);
        if (batch.size() == kBatch) fn(batch), batch.clear();
    }
    if (!batch.empty()) fn(batch);
    return true;
}

bool BackupRun::OpenOldArchive() {
    // A set that went on in another folder is read from there; the new one
    // is written where the user names it, and the old volumes all go.
    ConsoleVolumeAsker asker;
    std::string where;
    if (!VolumeSet::LocateLastVolume(archive_, &asker, oldPath_, where)) {
        Problem("cannot update the archive " + Shown(archive_) + ": " + Shown(where) +
                "; nothing was changed");
        return false;
    }
    if (oldPath_ != archive_) old_.AlsoLookIn(FolderOf(archive_));
    os::FileInfo st;
    if (!os::StatPath(oldPath_, st)) {
        if (os::LastError() == ENOENT) return true;  // a new archive
        Problem("cannot reach the archive " + Shown(archive_) + ": " + ErrnoText(os::LastError()));
        return false;
    }
    if (!(st.type == os::FileType::File)) {
        Problem("the archive " + Shown(archive_) + " is not a file; nothing was changed");
        return false;
    }
    oldStat_ = st;
    haveOld_ = true;
    if (!MayReplaceOld()) return false;
    if (st.size == 0) return true;  // an empty file holds nothing to keep
    std::string error;
    const auto unchanged = [&](const std::string& why) {
        Problem("cannot read the existing archive " + Shown(archive_) + ": " + why +
                "; it was left unchanged");
        return false;
    };
    old_.RequireExactLength();
    old_.SpillDirectory(WorkFolder());
    if (!old_.Open(oldPath_, error)) return unchanged(error);
    if (!old_.Damage().empty()) return unchanged(old_.Damage().front());
    // A split set is read through its volumes; one file is also copied from
    // in the kernel.
    if (!old_.IsSplit()) {
        oldFd_ = old_.Volumes().VolumeFd(0);
        os::FileInfo now;
        if (oldFd_ == os::kNoHandle || !os::Stat(oldFd_, now) || !os::SameFile(now, st)) {
            return unchanged("it was replaced while it was being read");
        }
    }
    for (size_t i = 0; i < old_.Count(); ++i) {
        const ArchiveEntry e = old_.Entry(i);
        if (!e.damage.empty()) return unchanged(Shown(e.name) + ": " + e.damage);
        if (e.encrypted && e.method != crypto::kMethodAes) {
            Problem("the existing archive " + Shown(archive_) + " holds an entry (" +
                    Shown(e.name) +
                    ") with the old ZIP encryption, which cannot be carried over; it was left "
                    "unchanged");
            return false;
        }
    }
    old_.UsePassword(o_.password);
    if (!PasswordOpensOld()) return false;
    oldByName_.Build(
        old_.Count(), [this](size_t i) { return old_.Name(i); },
        [this](size_t i) { return !old_.Entry(i).isHeader; });
    nameTaken_.assign(old_.Count(), false);
    return true;
}

// An update with a password first opens one encrypted entry of the old
// archive with it, verifier and authentication code both: a wrong password
// must not give an archive whose entries open with two different ones.
bool BackupRun::PasswordOpensOld() {
    if (o_.password == nullptr) return true;
    // The smallest encrypted entry: it is read whole.
    size_t pick = SIZE_MAX;
    uint64_t least = UINT64_MAX;
    for (size_t i = 0; i < old_.Count(); ++i) {
        const ArchiveEntry e = old_.Entry(i);
        if (e.encrypted && e.compSize < least) pick = i, least = e.compSize;
    }
    if (pick == SIZE_MAX) return true;
    const ArchiveEntry e = old_.Entry(pick);
    std::string why;
    const ReadStatus st = old_.Extract(
        e, [](const unsigned char*, size_t) { return true; }, why);
    if (st == ReadStatus::Ok) return true;
    if (st == ReadStatus::WrongPassword) {
        Problem("the password is wrong for the existing archive " + Shown(archive_) +
                " (checked on its entry " + Shown(e.name) + "); it was left unchanged");
    } else {
        Problem("the password cannot be checked against the existing archive " + Shown(archive_) +
                " (entry " + Shown(e.name) + ": " + why + "); it was left unchanged");
    }
    return false;
}

// Replacing the archive goes through its folder; a user who may not write
// the archive itself does not get to replace it that way.
bool BackupRun::MayReplaceOld() {
    if (!os::MayWrite(oldPath_)) {
        Problem("you may not change the archive " + Shown(archive_) + " (" +
                ErrnoText(os::LastError()) + "); nothing was changed");
        return false;
    }
    return true;
}

void BackupRun::TakeName(std::string_view name) {
    const size_t i = oldByName_.Find(name);
    if (i != NameIndex::kNone) nameTaken_[i] = true;
}

bool BackupRun::NameTaken(std::string_view name) const {
    const size_t i = oldByName_.Find(name);
    return i != NameIndex::kNone && nameTaken_[i];
}

// A stored name is most often the tail of its path ("/home/a/x" stores
// "home/a/x"): it is then a view of the path, and otherwise kept in names_.
std::string_view BackupRun::KeepName(std::string&& name, std::string_view path) {
    if (path.ends_with(name)) return path.substr(path.size() - name.size());
    names_.push_back(std::move(name));
    return names_.back();
}

bool BackupRun::ChooseSources() {
    if (!o_.updateOnly) {  // every listed file is a source: room for them all at once
        size_t most = o_.files.size();
        for (const auto& list : lists_) {
            std::string error;
            most += list->CountLines(error);
        }
        sources_.reserve(most);
    }
    listedOld_.assign(old_.Count(), false);
    notNewer_.assign(old_.Count(), false);
    newByName_.Start([this](size_t i) { return newNames_[i]; });
    const bool read =
        ForEachListed([this](const std::vector<std::string_view>& b) { ChooseFrom(b); });
    // Needed no more: room for what compressing takes.
    listedOld_ = {};
    newNames_ = {};
    newByName_ = NameIndex();
    return read;
}

void BackupRun::ChooseFrom(const std::vector<std::string_view>& listed) {
    struct Candidate {
        std::string_view path;  // the list's, until kept
        std::string_view name;  // once kept
        std::string stored;     // the name until then
        size_t old;             // the old entry of its name
    };
    std::vector<Candidate> chosen;
    chosen.reserve(listed.size());
    for (std::string_view path : listed) {
        std::optional<std::string> name = StoredName(path);
        if (!name) {
            Problem("cannot store " + Shown(path) + ": not a usable file path");
            continue;
        }
        // Listed twice: stored once, where it was listed first. A name the
        // old archive has is told by its entry, another by keeping it.
        const size_t old = oldByName_.Find(*name);
        Candidate c{path, {}, std::move(*name), old};
        const size_t seen = c.old != NameIndex::kNone || old_.Count() == 0
                                ? c.old
                                : oldByName_.Find(c.stored + "/");
        if (seen != NameIndex::kNone) {
            if (listedOld_[seen]) continue;
            listedOld_[seen] = true;
        } else {
            c.path = paths_.Keep(path);
            c.name = KeepName(std::move(c.stored), c.path);
            newNames_.push_back(c.name);
            if (!newByName_.Insert(newNames_.size() - 1)) {
                newNames_.pop_back();
                continue;
            }
        }
        if (headerAsEntry_ && (c.name.data() ? c.name : c.stored) == kHeaderEntryName) {
            Problem("cannot store " + Shown(path) +
                    ": the name is reserved for the archive header");
            continue;
        }
        chosen.push_back(std::move(c));
    }
    const auto keep = [&](Candidate& c, bool replacing) {
        if (!c.name.data()) {
            c.path = paths_.Keep(c.path);
            c.name = KeepName(std::move(c.stored), c.path);
        }
        sources_.push_back({c.path, c.name, replacing});
    };
    if (!o_.updateOnly) {  // every file is stored: the reader opens and checks it
        for (Candidate& c : chosen) keep(c, c.old != NameIndex::kNone);
        return;
    }
    std::vector<const char*> toStat;
    toStat.reserve(chosen.size());
    for (const Candidate& c : chosen) toStat.push_back(c.path.data());
    const std::vector<StatResult> status = StatMany(toStat);
    for (size_t i = 0; i < chosen.size(); ++i) {
        Candidate& c = chosen[i];
        const StatResult& st = status[i];
        if (st.error != 0) {
            Problem("cannot open " + Shown(c.path) + ": " + ErrnoText(st.error));
            continue;
        }
        const std::string_view name = c.name.data() ? c.name : std::string_view(c.stored);
        const size_t old = IsUnixFolder(st.mode) ? oldByName_.Find(std::string(name) + "/") : c.old;
        if (old != NameIndex::kNone && !DiskIsNewer(st.mtimeSec, st.mtimeNsec, old_.Entry(old))) {
            notNewer_[old] = true;
            continue;
        }
        keep(c, old != NameIndex::kNone);
    }
}

// The listed path of each damaged entry whose file is not newer (the
// first listing of its name), or an empty view.
bool BackupRun::FindNotNewerPaths(const std::vector<DamagedEntry>& damaged,
                                  std::vector<std::string_view>& paths) {
    paths.assign(damaged.size(), {});
    std::vector<size_t> wanted;  // positions in `damaged`, by old index below
    for (size_t k = 0; k < damaged.size(); ++k) {
        if (notNewer_[damaged[k].index]) wanted.push_back(k);
    }
    if (wanted.empty()) return true;
    const auto at = [&](size_t old) -> std::string_view* {
        if (old == NameIndex::kNone) return nullptr;
        const auto it = std::lower_bound(wanted.begin(), wanted.end(), old,
                                         [&](size_t k, size_t i) { return damaged[k].index < i; });
        if (it == wanted.end() || damaged[*it].index != old || paths[*it].data()) return nullptr;
        return &paths[*it];
    };
    return ForEachListed([&](const std::vector<std::string_view>& listed) {
        for (std::string_view path : listed) {
            const std::optional<std::string> name = StoredName(path);
            if (!name) continue;
            std::string_view* p = at(oldByName_.Find(*name));
            if (!p) p = at(oldByName_.Find(*name + "/"));
            if (p) *p = paths_.Keep(path);
        }
    });
}

// What would be carried over is tested first. A damaged entry whose file
// is listed is stored again from it; any other fails the run before the old
// archive is touched.
bool BackupRun::TestCarried() {
    if (old_.Count() == 0) return true;
    // By old index (the first of its name): a file of that name, or of that
    // name without its folder's slash, is stored.
    std::vector<bool> storing(old_.Count(), false);
    for (const SourceFile& f : sources_) {
        for (const size_t i : {oldByName_.Find(f.name), oldByName_.Find(std::string(f.name) + "/")})
            if (i != NameIndex::kNone) storing[i] = true;
    }
    std::vector<size_t> carried;
    for (size_t i = 0; i < old_.Count(); ++i) {
        const ArchiveEntry e = old_.Entry(i);
        const size_t first = e.isHeader ? NameIndex::kNone : oldByName_.Find(e.name);
        const bool replaced = first != NameIndex::kNone && storing[first];
        if (e.isHeader ? keepOldHeader_ : !replaced) carried.push_back(e.index);
    }
    storing = {};
    tested_.assign(old_.Count(), false);
    for (size_t i : carried) tested_[i] = true;
    const std::vector<DamagedEntry> damaged = TestCarriedEntries(old_, carried, ThreadCount());
    std::vector<std::string_view> files;
    if (!FindNotNewerPaths(damaged, files)) return false;
    bool ok = true;
    for (size_t k = 0; k < damaged.size(); ++k) {
        const DamagedEntry& d = damaged[k];
        const ArchiveEntry e = old_.Entry(d.index);
        const std::string_view path = files[k];
        if (e.isHeader || !path.data()) {
            Problem("the existing archive " + Shown(archive_) + " holds a damaged entry " +
                    Shown(e.name) + " (" + d.why +
                    ") whose file is not among those to back up; it was left unchanged");
            ok = false;
            continue;
        }
        Problem("warning: the copy of " + Shown(e.name) + " in the archive is damaged (" + d.why +
                "); it is stored again from " + Shown(path));
        std::string name(e.name);
        if (name.ends_with('/')) name.pop_back();  // a folder is listed without its slash
        sources_.push_back({path, KeepName(std::move(name), path), true});
    }
    return ok;
}

bool BackupRun::HeaderUnchanged() const {
    if (keepOldHeader_) return true;
    std::string oldHeader, error;
    if (!old_.Header(oldHeader, error) || oldHeader != header_) return false;
    return old_.HasHeaderEntry() == headerAsEntry_ && old_.Comment() == CommentToStore();
}

std::string BackupRun::CommentToStore() const {
    if (keepOldHeader_) return old_.Comment();
    if (!headerAsEntry_) return header_;
    return "Stowaway archive header: too long for a ZIP comment, stored whole in the entry " +
           std::string(kHeaderEntryName) + " (" + std::to_string(header_.size()) + " bytes)";
}

void BackupRun::WriteHeaderEntry(OutFile& out) {
    EntryRecord e;
    e.name = kHeaderEntryName;
    e.headerMarker = true;
    e.size = header_.size();
    e.crc = static_cast<uint32_t>(
        crc32_z(0, reinterpret_cast<const unsigned char*>(header_.data()), header_.size()));
    const os::FileTime now = os::Now();
    e.mtime = os::Seconds(now);
    e.mtimeNsec = os::SubsecondNanos(now);
    e.hasUnixTime = true;
    ToDosTime(e.mtime, e.dosTime, e.dosDate);
    e.externalAttrs = UnixExternalAttrs(kUnixFile | 0644);

    uLongf bound = compressBound(static_cast<uLong>(header_.size()));
    std::string packed(bound, '\0');
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    zs.next_in = reinterpret_cast<Bytef*>(header_.data());
    zs.avail_in = static_cast<uInt>(header_.size());
    zs.next_out = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_out = static_cast<uInt>(packed.size());
    deflate(&zs, Z_FINISH);
    packed.resize(zs.total_out);
    deflateEnd(&zs);
    e.method = kMethodDeflate;
    e.compSize = packed.size();
    e.localOffset = out.Tell();
    const std::string local = LocalHeader(e);
    out.Reserve(local.size());
    out.Write(local);
    out.Write(packed);
    records_->Add(e);
}

// A new encrypted entry's data starts with the salt and verifier of keys
// derived here; WriteSealed then encrypts and writes it.
void BackupRun::StartSealing(OutFile& out) {
    sealing_ = std::make_unique<crypto::Aes2Encryptor>();
    std::string error;
    if (!sealing_->Begin(o_.password->View(), error, &keys_)) throw WriteError(error);
    out.Write(sealing_->Head(), crypto::Aes2Encryptor::kHeadSize);
}

void BackupRun::WriteSealed(OutFile& out, unsigned char* data, size_t n) {
    if (sealing_) sealing_->Encrypt(data, n);
    out.Write(data, n);
}

// An entry that cannot be finished is taken out again; once its start is on
// a medium already taken out, the backup cannot go on.
void BackupRun::DropEntry(OutFile& out, const EntryRecord& e, std::string_view path,
                          const std::string& why) {
    if (out.HeaderSealed()) {
        throw WriteError("cannot store " + Shown(path) + ": " + why +
                         ", and its start is on a medium already taken out");
    }
    out.CloseHeader();
    out.Rollback(e.localOffset);
}

// A large file that came out no smaller deflated (no piece, or too little,
// shrank) is written again stored, read a second time; it must still be what
// was read the first time.
bool BackupRun::RestoreStored(OutFile& out, EntryRecord& e, std::string_view path) {
    out.Rollback(e.localOffset + LocalHeader(e).size());
    if (e.aes) StartSealing(out);
    const os::Handle fd = os::Open(path.data(), os::kRead | os::kSource);
    std::vector<unsigned char> buf(1 << 20);
    uint64_t left = e.size;
    uLong crc = 0;
    while (fd != os::kNoHandle && left > 0) {
        const int64_t n = os::Read(fd, buf.data(), std::min<uint64_t>(left, buf.size()));
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n <= 0) break;
        crc = crc32_z(crc, buf.data(), static_cast<size_t>(n));
        WriteSealed(out, buf.data(), static_cast<size_t>(n));
        left -= static_cast<uint64_t>(n);
    }
    if (fd != os::kNoHandle) os::Close(fd);
    if (left != 0 || crc != e.crc) {
        out.Rollback(e.localOffset);
        Problem("cannot store " + Shown(path) + ": it changed while it was being read; not stored");
        return false;
    }
    e.method = kMethodStore;
    e.compSize = e.size;
    return true;
}

// A large file written to in place while it was read may be torn, and its
// pieces are written already: it is read again here, up to twice more, until
// it holds still. False when it could not be read again (the entry is gone).
bool BackupRun::ReadLargeAgain(OutFile& out, EntryRecord& e, std::string_view path,
                               std::string& warning) {
    for (int again = 0; again < 2 && !warning.empty() && !out.HeaderSealed(); ++again) {
        out.Rollback(e.localOffset + LocalHeader(e).size());
        if (e.aes) StartSealing(out);
        const int level = e.method == kMethodDeflate ? CompressorLevel(o_.level) : 0;
        std::vector<unsigned char> copy;
        const ReadAgainResult r =
            ReadAgain(path.data(), level, e.zip64Sizes ? UINT64_MAX : kZip64Reserve - 1,
                      [&](const unsigned char* data, size_t n) {
                          copy.assign(data, data + n);
                          WriteSealed(out, copy.data(), n);
                      });
        if (!r.error.empty()) {
            DropEntry(out, e, path, r.error);
            Problem("cannot store " + Shown(path) + ": " + r.error + "; not stored");
            return false;
        }
        e.crc = r.crc;
        e.size = r.size;
        e.compSize = r.packed;
        e.mtime = os::Seconds(r.st.modified);
        e.mtimeNsec = os::SubsecondNanos(r.st.modified);
        ToDosTime(e.mtime, e.dosTime, e.dosDate);
        warning = r.change;
    }
    return true;
}

void BackupRun::StorePieces(OutFile& out) {
    Compressor compressor(sources_, o_.level, ThreadCount(), o_.password, &keys_);
    EntryRecord cur;
    bool inEntry = false;
    bool skipping = false;  // rest of a file whose entry was dropped
    while (std::unique_ptr<Piece> p = compressor.Next()) {
        const SourceFile& src = sources_[p->file];
        if (p->first) {
            skipping = false;
            inEntry = false;
        }
        if (skipping) continue;
        if (!p->error.empty()) {
            if (inEntry) DropEntry(out, cur, src.path, p->error);
            Problem("cannot store " + Shown(src.path) + ": " + p->error + "; not stored");
            inEntry = false;
            skipping = !p->last;
            continue;
        }
        if (p->first) {
            cur = EntryRecord{};
            const bool isDir = (p->st.type == os::FileType::Folder);
            if (isDir) dirNames_.push_back(std::string(src.name) + "/");
            cur.name = isDir ? std::string_view(dirNames_.back()) : std::string_view(src.name);
            cur.flags = NameFlags(cur.name);
            cur.mtime = os::Seconds(p->st.modified);
            cur.mtimeNsec = os::SubsecondNanos(p->st.modified);
            cur.hasUnixTime = true;
            ToDosTime(cur.mtime, cur.dosTime, cur.dosDate);
            cur.externalAttrs = UnixExternalAttrs(p->st.mode & (kUnixTypeMask | 07777));
            cur.zip64Sizes = p->reserveZip64;
            // A file read whole is stored when deflating did not shrink it; a
            // large one is deflated piece by piece (a piece that did not shrink
            // in stored blocks) and stored again at its end if none shrank.
            const bool storeIt =
                p->sealed ? p->sealedStored
                          : o_.level == 0 || isDir || (p->last && p->out.size() >= p->in.size());
            cur.method = storeIt ? kMethodStore : kMethodDeflate;
            // Every file is encrypted when there is a password; a folder has no data.
            cur.aes = o_.password != nullptr && !isDir;
            if (cur.aes) cur.flags |= kFlagEncrypted;
            cur.localOffset = out.Tell();
            const std::string local = LocalHeader(cur);
            out.Reserve(local.size());
            out.OpenHeader(cur.localOffset, cur.method == kMethodStore);
            out.Write(local);
            sealing_.reset();
            if (p->sealed) {
                out.Write(p->aesHead.data(), p->aesHead.size());
            } else if (cur.aes) {
                StartSealing(out);
            }
            inEntry = true;
        }
        std::vector<unsigned char>& data = cur.method == kMethodStore ? p->in : p->out;
        WriteSealed(out, data.data(), data.size());
        cur.crc = p->first ? p->crc
                           : static_cast<uint32_t>(crc32_combine(
                                 cur.crc, p->crc, static_cast<z_off_t>(p->in.size())));
        cur.size += p->in.size();
        cur.compSize += data.size();
        if (!p->last) continue;
        std::string warning = p->warning;
        if (p->rewritten && !out.HeaderSealed() && !ReadLargeAgain(out, cur, src.path, warning)) {
            inEntry = false;
            continue;
        }
        if (cur.method == kMethodDeflate && TestFault("junk")) {
            out.Write(std::string(8, '\0'));
            cur.compSize += 8;
        }

        const uint64_t overhead = cur.aes ? crypto::Overhead() : 0;
        if (!cur.zip64Sizes && (cur.size >= kMax32 || cur.compSize + overhead >= kMax32)) {
            DropEntry(out, cur, src.path, "it grew past 4 GiB while being read");
            Problem("cannot store " + Shown(src.path) + ": it grew past 4 GiB while being read");
            inEntry = false;
            continue;
        }
        if (cur.method == kMethodDeflate && cur.compSize >= cur.size && !out.HeaderSealed() &&
            !RestoreStored(out, cur, src.path)) {
            inEntry = false;
            continue;
        }
        if (cur.aes) {
            // The authentication code: the worker's, or the one of the data written here.
            std::array<unsigned char, crypto::kMacSize> mac = p->aesMac;
            if (sealing_ && !sealing_->Finish(mac.data()))
                throw WriteError("the encryption failed");
            sealing_.reset();
            out.Write(mac.data(), mac.size());
            cur.compSize += overhead;
        }
        if (!warning.empty()) Problem("warning: " + Shown(src.path) + ": " + warning);
        if (out.HeaderSealed()) {
            // Its header left with a full medium: CRC and sizes follow the data.
            cur.flags |= kFlagDescriptor;
            out.Write(DataDescriptor(cur));
        } else {
            out.Patch(cur.localOffset, LocalHeader(cur));
        }
        out.CloseHeader();
        records_->Add(cur);
        TakeName(cur.name);
        ++added_;
        inEntry = false;
        Line(std::string(src.replacing ? "  Updating: " : "  Adding: ") + Shown(cur.name) +
             (cur.method == kMethodDeflate ? "  Deflating (" : "  Storing (") +
             Percent(cur.compSize, cur.size) + "), done.");
    }
}

// Entries kept from the old archive are copied as they are, runs of
// neighbouring entries in one go; into volumes one by one, each local header
// kept whole.
void BackupRun::CopyOldEntries(OutFile& out) {
    uint64_t runStart = 0, runLength = 0;
    const auto flush = [&] {
        if (runLength > 0) out.CopyFrom(oldFd_, runStart, runLength);
        runLength = 0;
    };
    const bool oneByOne = oldFd_ == os::kNoHandle || out.Spanning();
    std::vector<unsigned char> buf;
    OldSpanFinder finder(old_);
    for (size_t i = 0; i < old_.Count(); ++i) {
        const ArchiveEntry old = old_.Entry(i);
        if (old.isHeader ? !keepOldHeader_ : NameTaken(old.name)) continue;
        OldSpan span;
        std::string error;
        // Kept after all (its file could not be stored again): tested now.
        if (!tested_[old.index] && !TestCarriedEntries(old_, {old.index}, 1).empty()) {
            throw WriteError("the existing archive's copy of " + Shown(old.name) +
                             " is damaged, and its file could not be stored again");
        }
        if (!finder.Find(old, span, error)) {
            throw WriteError("the existing archive is damaged at " + Shown(old.name) + ": " +
                             error);
        }
        EntryRecord e;
        e.name = old.name;
        e.carried = true;
        e.oldDisk = span.disk;
        e.oldStart = span.start;
        e.oldLength = span.length;
        e.central = old.central;
        e.size = old.size;
        e.compSize = old.compSize;
        e.crc = old.crc;
        e.method = old.method;
        e.flags = old.flags;
        if (oneByOne) {
            e.localOffset = out.Tell();
            out.Reserve(span.headerSize);
            if (buf.empty()) buf.resize(1 << 20);
            uint32_t disk = span.disk;
            uint64_t at = span.start;
            for (uint64_t left = span.length; left > 0;) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
                if (!old_.Volumes().ReadAt(disk, at, buf.data(), n, error)) {
                    throw WriteError("reading the old archive: " + error);
                }
                out.Write(buf.data(), n);
                old_.Volumes().Advance(disk, at, n);
                left -= n;
            }
        } else {
            e.localOffset = out.Tell() + runLength;
            if (runLength > 0 && runStart + runLength != span.start) flush();
            if (runLength == 0) runStart = span.start;
            runLength += span.length;
        }
        records_->Add(e);
        TakeName(e.name);
        if (!old.isHeader) ++kept_;
    }
    flush();
}

// Central directory and end records, each record kept whole in one volume;
// every entry's place (disk and offset there) is known once the data is out.
void BackupRun::WriteDirectory(OutFile& out, const std::string& comment) {
    out.Flush();
    const size_t count = records_->Size();
    uint64_t directorySize = EndRecords(count, 0, 0, comment).size();
    records_->Visit([&](const EntryRecord& e) {
        directorySize += e.carried ? e.central.size() : CentralHeader(e).size();
    });
    // Room for Zip64 end records and offsets too.
    out.PrepareDirectory(directorySize + 20 + 56 + 12 * count);
    records_->Change([&](EntryRecord& e) {
        const Place p = out.Where(e.localOffset);
        PlaceOnDisk(e, p.disk, p.offset);
    });
    const bool spoilCarried = TestFault("carried-crc");
    if (out.Disks() >= 0xFFFF) throw WriteError("too many volumes for one set");
    const uint64_t cdStart = out.Tell();
    std::vector<uint64_t> starts;
    starts.reserve(count);
    records_->Visit([&](const EntryRecord& e) {
        std::string c = e.carried
                            ? CarriedCentral(e.central, e.size, e.compSize, e.localOffset, e.disk)
                            : CentralHeader(e);
        if (e.carried && spoilCarried) c[16] ^= 1;
        starts.push_back(out.Tell());
        out.Reserve(c.size());
        out.Write(c);
    });
    const uint64_t endStart = out.Tell();
    const uint64_t cdSize = endStart - cdStart;
    out.Flush();
    const Place cd = records_->Empty() ? out.Where(cdStart) : out.Where(starts.front());
    const auto endRecords = [&] {
        EndPlace place;
        place.disk = out.Disks() - 1;
        place.cdDisk = cd.disk;
        for (uint64_t s : starts) place.entriesHere += out.Where(s).disk == place.disk;
        place.endOffset = out.Where(endStart).offset;
        return EndRecords(count, cd.offset, cdSize, comment, place);
    };
    const std::string end = endRecords();
    const uint32_t disks = out.Disks();
    out.Reserve(end.size());
    out.Write(end);
    out.Flush();
    // Written to a volume of its own after all: its numbers change, not its size.
    if (out.Disks() != disks) out.Patch(endStart, endRecords());
}

// The new archive takes the old one's owner, group and mode.
void BackupRun::KeepOwnerAndMode(os::Handle fd, uint32_t& mode) {
    if (!haveOld_) {
        mode = 0666 & ~os::CreationMask();
        return;
    }
    mode = oldStat_.mode & 07777;
    if (fd != os::kNoHandle && !os::KeepOwner(fd, oldStat_)) {
        Problem("warning: the new archive " + Shown(archive_) +
                " could not be given the old one's owner and group (" + ErrnoText(os::LastError()) +
                "); it belongs to the user who ran the backup");
        mode &= 0777;  // no set-id bits for another owner
    }
    if (oldStat_.links > 1) {
        Problem("warning: the archive " + Shown(archive_) + " had " +
                std::to_string(oldStat_.links - 1) +
                " other hard link(s); they keep the old archive, only this name has the new one");
    }
}

int BackupRun::Run() {
    archive_ = ResolvePathCase(o_.archive);
    // Replace what a symbolic link points at, not the link.
    std::string unreachable;
    if (!ResolveArchivePath(archive_, unreachable)) {
        Problem("the archive " + Shown(o_.archive) + " " + unreachable + "; nothing was written");
        return kFatal;
    }
    if (!commit::SettleInterruptedCommit(archive_, false)) return kFatal;

    if (!o_.headerFile.empty()) {
        std::string error;
        if (!ReadWhole(ResolvePathCase(o_.headerFile), header_, error)) {
            Problem("cannot read the header file " + Shown(o_.headerFile) + ": " + error +
                    "; the archive is made without a header");
            header_.clear();
        }
    }
    // A header too long for the comment, or one that holds the end record's
    // signature (which would confuse readers), travels as an entry instead.
    headerAsEntry_ = header_.size() > kMaxComment ||
                     header_.find(std::string("PK\x05\x06", 4)) != std::string::npos;

    if (!LoadList() || !OpenOldArchive()) return kFatal;
    keepOldHeader_ = o_.headerFile.empty() && old_.Count() > 0;
    if (!ChooseSources()) return kFatal;
    if (!TestCarried()) return kFatal;
    // The test's threads leave their large buffers free in their own heaps.
    os::ReturnFreeMemory();

    // The nightly update with nothing newer: every byte would stay the same.
    if (o_.updateOnly && old_.Count() > 0 && sources_.empty() && HeaderUnchanged()) {
        Line("Archive " + Shown(archive_) +
             " is up to date: no file is newer, nothing was changed");
        return ProblemCount() > 0 ? kWarnings : 0;
    }

    const std::string comment = CommentToStore();
    if (o_.span) return WriteVolumes(comment);
    TempFile temp;
    std::string error;
    if (!temp.Create(FolderOf(archive_), LeafOf(archive_), error)) {
        Problem("cannot create a work file beside the archive " + Shown(archive_) + ": " + error +
                "; nothing was changed");
        return kFatal;
    }
    try {
        OutFile out(temp.Fd());
        WriteEntries(out);
        WriteDirectory(out, comment);
        out.Finish();
    } catch (const WriteError& e) {
        Problem("cannot write the new archive beside " + Shown(archive_) + ": " + e.what() +
                "; the old archive was left unchanged");
        return kFatal;
    } catch (const std::runtime_error& e) {
        Problem(std::string(e.what()) + "; the old archive " + Shown(archive_) +
                " was left unchanged");
        return kFatal;
    }
    const bool ok = Replace(temp.Path(), {}, comment, [&](std::string& why) {
        uint32_t mode;
        KeepOwnerAndMode(temp.Fd(), mode);
        commit::NewSet set;
        set.toPlace = {{temp.Path(), archive_}};
        if (!temp.Seal(mode, why) || !PutInPlace(set, why)) return false;
        temp.Release();
        return true;
    });
    return !ok ? kFatal : ProblemCount() > 0 ? kWarnings : 0;
}

// The run's work files without a name (records, the old directory) wait
// beside the archive; a set's folder may be a medium that is swapped, so
// theirs wait in the temporary folder.
std::string BackupRun::WorkFolder() const {
    const char* tmp = std::getenv("TMPDIR");
    return !o_.span ? FolderOf(archive_) : tmp && *tmp ? tmp : "/tmp";
}

void BackupRun::WriteEntries(OutFile& out) {
    records_.emplace(WorkFolder());
    records_->AfterChunk([this] { old_.ReleaseDirectory(); });
    if (headerAsEntry_) WriteHeaderEntry(out);
    StorePieces(out);
    CopyOldEntries(out);
}

// Checks what was written, puts it in place with `commit` and says so.
bool BackupRun::Replace(const std::string& path, const std::vector<std::string>& volumes,
                        const std::string& comment,
                        const std::function<bool(std::string&)>& commit) {
    VerifyCost cost;
    std::string error;
    const auto checkStart = std::chrono::steady_clock::now();
    const VolumeSet* old = old_.Count() > 0 ? &old_.Volumes() : nullptr;
    if (!VerifyArchive(path, volumes, *records_, comment, old, ThreadCount(), error, &cost,
                       o_.password, &keys_)) {
        Problem("the new archive failed its check (" + error + "); " + OldFate());
        return false;
    }
    const double checkSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - checkStart).count();
    if (!commit(error)) {
        Problem("cannot put the new archive in place of " + Shown(archive_) + ": " + error + "; " +
                OldFate());
        return false;
    }
    char check[160];
    std::snprintf(check, sizeof check,
                  " (check: %.1f MB decompressed, %.1f MB compared with the old archive, %.2f s)",
                  static_cast<double>(cost.checkedBytes) / 1e6,
                  static_cast<double>(cost.comparedBytes) / 1e6, checkSeconds);
    const std::string inVolumes =
        volumes.size() > 1 ? " in " + std::to_string(volumes.size()) + " volumes" : "";
    Line("Archive " + Shown(archive_) + " written" + inVolumes +
         " and checked: " + std::to_string(added_) + " files added or updated, " +
         std::to_string(kept_) + " kept" + check);
    SayRemovedVolumes();
    return true;
}

std::vector<std::string> BackupRun::OldVolumePaths() const {
    std::vector<std::string> out;
    for (uint32_t d = 0; d < old_.Volumes().DiskCount(); ++d)
        out.push_back(old_.Volumes().VolumePath(d));
    return out;
}

bool BackupRun::PutInPlace(const commit::NewSet& set, std::string& why) {
    commit::Journal journal;
    if (!commit::PlanCommit(archive_, OldVolumePaths(), set, journal, why)) return false;
    const commit::Outcome outcome = commit::CommitSet(archive_, journal, why);
    stuck_ = outcome == commit::Outcome::Stuck;
    if (outcome == commit::Outcome::Done) removedOld_ = commit::RemovedOldFiles(journal);
    return outcome == commit::Outcome::Done;
}

// The old set lost its last volume to a swapped medium: what is left of it
// can no longer be read, and beside the new volumes it would look like a set.
void BackupRun::RemoveBrokenOldVolumes(const NewVolumes& volumes) {
    os::FileInfo st;
    // Where a removed file keeps its name while it is open (Windows without POSIX
    // deletes: FAT media), the name alone does not tell that it is gone.
    if (!volumes.RemovedOldArchive() && os::StatPath(oldPath_, st, false))
        return;  // the old set is whole
    std::vector<std::pair<uint64_t, uint64_t>> fresh;
    for (const std::string& p : volumes.Paths()) {
        if (os::StatPath(p, st, false)) fresh.emplace_back(st.device, st.index);
    }
    std::vector<std::string> removed;
    for (const std::string& old : OldVolumePaths()) {
        if (!os::StatPath(old, st, false)) continue;
        bool isNew = false;
        for (const auto& [dev, ino] : fresh) isNew = isNew || (dev == st.device && ino == st.index);
        if (!isNew && os::Remove(old)) removed.push_back(old);
    }
    if (removed.empty()) return;
    std::string names;
    for (const std::string& v : removed) names += (names.empty() ? "" : ", ") + Shown(v);
    Line("Removed " + std::to_string(removed.size()) +
         " volume(s) of the old set, which cannot be read without its last volume: " + names);
}

// Old volumes that no new one replaced, wherever they were, are gone now.
void BackupRun::SayRemovedVolumes() const {
    if (removedOld_.empty()) return;
    std::string names;
    for (const std::string& v : removedOld_) names += (names.empty() ? "" : ", ") + Shown(v);
    Line("Removed " + std::to_string(removedOld_.size()) +
         " volume(s) of the old set that the new set does not use: " + names);
}

std::string BackupRun::OldFate() const {
    if (stuck_) {
        return "the next run on this archive puts the old archive back before it does anything "
               "else";
    }
    if (swapped_) {
        return "the set is incomplete: the volumes already written to swapped media cannot be "
               "used, and the old archive on them is gone";
    }
    return "the old archive was left unchanged";
}

// -span: the same archive, written as volumes where it does not fit in one
// file; one file, as without -span, where it does.
int BackupRun::WriteVolumes(const std::string& comment) {
    ConsoleMediumAsker asker;
    NewVolumes volumes(archive_, asker);
    std::string error;
    if (!volumes.Begin(error)) {
        Problem("cannot create a work file beside the archive " + Shown(archive_) + ": " + error +
                "; nothing was changed");
        return kFatal;
    }
    uint64_t medium = 0;
    if (const char* test = std::getenv("PKZIP_TEST_MEDIUM_BYTES")) {
        medium = std::strtoull(test, nullptr, 10);  // a small medium, for the tests
    }
    uint32_t disks = 1;
    try {
        OutFile out(volumes, o_.spanSize, medium);
        WriteEntries(out);
        WriteDirectory(out, comment);
        out.Finish();
        disks = out.Disks();
    } catch (const std::runtime_error& e) {
        swapped_ = volumes.SwappedMedia();
        Problem("cannot write the new archive beside " + Shown(archive_) + ": " + e.what() + "; " +
                OldFate());
        if (swapped_) RemoveBrokenOldVolumes(volumes);
        return kFatal;
    }
    swapped_ = volumes.SwappedMedia();
    const std::vector<std::string> paths = volumes.Paths();
    const bool ok = Replace(paths.back(), disks > 1 ? paths : std::vector<std::string>{}, comment,
                            [&](std::string& why) {
                                uint32_t mode;
                                const os::Handle fd =
                                    os::Open(paths.front(), os::kRead | os::kSource);
                                KeepOwnerAndMode(fd, mode);
                                if (fd != os::kNoHandle) os::Close(fd);
                                const commit::Outcome outcome =
                                    volumes.Commit(mode, OldVolumePaths(), removedOld_, why);
                                stuck_ = outcome == commit::Outcome::Stuck;
                                return outcome == commit::Outcome::Done;
                            });
    if (ok && disks > 1 && FolderOf(paths.back()) != FolderOf(archive_)) {
        Line("The last volume of the set went to " + Shown(FolderOf(paths.back())) +
             ": give that folder's " + Shown(LeafOf(archive_)) + " to restore the set");
    }
    return !ok ? kFatal : ProblemCount() > 0 ? kWarnings : 0;
}

}  // namespace

int RunBackup(const Options& options) {
    BackupRun run(options);
    return run.Run();
}

}  // namespace pkzip
