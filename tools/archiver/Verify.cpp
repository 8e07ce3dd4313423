#include "Verify.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "ArchiveReader.h"
#include "Workers.h"

namespace pkzip {
namespace {

constexpr size_t kCompareBuffer = 1 << 20;

// The directory as a standard reader sees it: every name, in order, the
// comment, and each entry's CRC, sizes, method and flags as written.
bool CheckArchive(const ArchiveReader& r, size_t expected, const std::string& comment,
                  std::string& error) {
    if (!r.Damage().empty()) {
        error = r.Damage().front();
        return false;
    }
    if (r.Count() != expected) {
        error = "the entry count read back differs from the count written";
        return false;
    }
    if (r.Comment() != comment || r.CommentShort()) {
        error = "the comment read back differs from the header";
        return false;
    }
    return true;
}

bool CheckEntry(const ArchiveEntry& got, const EntryRecord& want, std::string& error) {
    const size_t i = got.index;
    if (got.name != want.name || got.localOffset != want.localOffset ||
        got.diskStart != want.disk) {
        error = "entry " + std::to_string(i) + " has the wrong name or place";
        return false;
    }
    // Carried entries too: their records hold what the old one said.
    if (got.crc != HeaderCrc(want) || got.size != want.size || got.compSize != want.compSize ||
        got.method != HeaderMethod(want) || got.flags != want.flags) {
        error = "entry " + std::to_string(i) + " (" + std::string(want.name) +
                ") reads back with other sizes, CRC, method or flags";
        return false;
    }
    return true;
}

// A carried entry must be the old bytes exactly.
bool CompareCarried(const VolumeSet& now, const VolumeSet& old, const EntryRecord& e,
                    unsigned char* a, unsigned char* b, std::string& error) {
    uint32_t disk = e.disk, oldDisk = e.oldDisk;
    uint64_t at = e.localOffset, oldAt = e.oldStart;
    for (uint64_t done = 0; done < e.oldLength;) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(kCompareBuffer, e.oldLength - done));
        if (!now.ReadAt(disk, at, a, n, error) || !old.ReadAt(oldDisk, oldAt, b, n, error)) {
            error = "cannot read it back (" + error + ")";
            return false;
        }
        if (std::memcmp(a, b, n) != 0) {
            error = "its copy differs from the old archive";
            return false;
        }
        now.Advance(disk, at, n);
        old.Advance(oldDisk, oldAt, n);
        done += n;
    }
    return true;
}

// The data of a batch of entries read back, on all cores. Tasks: one per new
// entry; carried entries that lie side by side in both archives are compared
// as one range, in slices of at most 64 MiB.
bool CheckData(const ArchiveReader& reader, const std::vector<ArchiveEntry>& batch,
               const std::vector<EntryRecord>& records, const VolumeSet* old, unsigned threads,
               std::atomic<uint64_t>& checked, std::atomic<uint64_t>& compared,
               std::string& error) {
    struct Task {
        size_t first, last;  // entries [first, last]
        uint32_t disk, oldDisk;
        uint64_t offset, oldOffset, length;
    };
    const size_t base = batch.front().index;
    const auto expected = [&](size_t i) -> const EntryRecord& { return records[i - base]; };
    std::vector<Task> tasks;
    for (size_t i = base; i < base + batch.size(); ++i) {
        const EntryRecord& e = expected(i);
        if (!e.carried) {
            tasks.push_back({i, i, 0, 0, 0, 0, 0});
            continue;
        }
        if (!tasks.empty()) {
            Task& t = tasks.back();
            const EntryRecord& prev = expected(t.last);
            if (prev.carried && t.disk == e.disk && t.oldDisk == e.oldDisk &&
                t.offset + t.length == e.localOffset && t.oldOffset + t.length == e.oldStart &&
                t.length < (64u << 20)) {
                t.last = i;
                t.length += e.oldLength;
                continue;
            }
        }
        tasks.push_back({i, i, e.disk, e.oldDisk, e.localOffset, e.oldStart, e.oldLength});
    }

    std::atomic<size_t> nextTask{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    auto run = [&] {
        std::unique_ptr<unsigned char[]> a, b;
        while (!failed) {
            const size_t k = nextTask++;
            if (k >= tasks.size()) return;
            const Task& t = tasks[k];
            const EntryRecord& e = expected(t.first);
            std::string why;
            bool ok = true;
            if (e.carried) {
                if (!a) {
                    a.reset(new unsigned char[kCompareBuffer]);
                    b.reset(new unsigned char[kCompareBuffer]);
                }
                EntryRecord range = e;
                range.disk = t.disk;
                range.oldDisk = t.oldDisk;
                range.localOffset = t.offset;
                range.oldStart = t.oldOffset;
                range.oldLength = t.length;
                ok = old != nullptr &&
                     CompareCarried(reader.Volumes(), *old, range, a.get(), b.get(), why);
                compared += t.length;
            } else {
                const ReadStatus st = reader.Extract(
                    batch[t.first - base], [](const unsigned char*, size_t) { return true; }, why);
                ok = st == ReadStatus::Ok;
                checked += e.size;
            }
            if (!ok) {
                std::lock_guard<std::mutex> lock(errorMutex);
                if (!failed.exchange(true)) {
                    error = "entry " + std::to_string(t.first) + " (" + std::string(e.name) +
                            "): " + why;
                }
                return;
            }
        }
    };
    RunOnThreads(tasks.size() > 1 ? threads : 1, run);
    return !failed;
}

}  // namespace

// The directory is read back a batch of entries at a time, each batch
// checked against what was written before its data is: nothing per entry is
// kept beyond what the writer holds already.
bool VerifyArchive(const std::string& path, const std::vector<std::string>& volumes,
                   const EntryRecords& expected, const std::string& comment, const VolumeSet* old,
                   unsigned threads, std::string& error, VerifyCost* cost,
                   const crypto::Password* password, const crypto::KeyCache* keys) {
    ArchiveReader reader;
    reader.UsePassword(password, keys);
    // Volumes on media already swapped are asked for again.
    ConsoleVolumeAsker asker;
    reader.RequireExactLength();
    reader.StreamDirectory();
    if (volumes.size() > 1) reader.UseVolumePaths(volumes);
    if (!reader.Open(path, error, &asker)) return false;
    if (volumes.size() > 1 && reader.Volumes().DiskCount() != volumes.size()) {
        error = "the set reads back with another number of volumes";
        return false;
    }
    if (!CheckArchive(reader, expected.Size(), comment, error)) return false;

    std::atomic<uint64_t> checked{0}, compared{0};
    bool failed = false;
    std::vector<EntryRecord> records;  // the batch's
    const auto checkBatch = [&](const std::vector<ArchiveEntry>& batch) {
        const size_t base = batch.front().index;
        if (base + batch.size() > expected.Size()) {
            error = "the entry count read back differs from the count written";
            failed = true;
            return false;
        }
        try {
            expected.Read(base, batch.size(), records);
        } catch (const std::runtime_error& e) {
            error = e.what();
            failed = true;
            return false;
        }
        for (const ArchiveEntry& got : batch) {
            if (!CheckEntry(got, records[got.index - base], error)) {
                failed = true;
                return false;
            }
        }
        if (!CheckData(reader, batch, records, old, threads, checked, compared, error)) {
            failed = true;
            return false;
        }
        return true;
    };
    std::string readError;
    if (!reader.ForEachBatch(checkBatch, readError)) {
        error = readError;
        return false;
    }
    if (cost) {
        cost->checkedBytes = checked;
        cost->comparedBytes = compared;
    }
    return !failed;
}

}  // namespace pkzip
