#include "Verify.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "ArchiveReader.h"

namespace pkzip {
namespace {

constexpr size_t kCompareBuffer = 1 << 20;

bool PReadAll(int fd, unsigned char* buf, size_t n, uint64_t off) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, buf, n, static_cast<off_t>(off));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        buf += r;
        n -= static_cast<size_t>(r);
        off += static_cast<uint64_t>(r);
    }
    return true;
}

// The directory as a standard reader sees it: every name, in order, the
// comment, and each new entry's CRC and sizes as written.
bool CheckDirectory(const ArchiveReader& r, const std::vector<EntryRecord>& expected,
                    const std::string& comment, std::string& error) {
    if (!r.Damage().empty()) {
        error = r.Damage().front();
        return false;
    }
    if (r.Count() != expected.size()) {
        error = "the entry count read back differs from the count written";
        return false;
    }
    if (r.Comment() != comment || r.CommentShort()) {
        error = "the comment read back differs from the header";
        return false;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        const ArchiveEntry& got = r.Entry(i);
        const EntryRecord& want = expected[i];
        if (got.name != want.name || got.localOffset != want.localOffset) {
            error = "entry " + std::to_string(i) + " has the wrong name or place";
            return false;
        }
        if (!want.carried && (got.crc != want.crc || got.size != want.size ||
                              got.compSize != want.compSize || got.method != want.method)) {
            error = "entry " + std::to_string(i) + " (" + want.name +
                    ") reads back with other sizes or CRC";
            return false;
        }
    }
    return true;
}

// A carried entry must be the old bytes exactly.
bool CompareCarried(int newFd, int oldFd, const EntryRecord& e, unsigned char* a, unsigned char* b,
                    std::string& error) {
    for (uint64_t done = 0; done < e.oldLength;) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(kCompareBuffer, e.oldLength - done));
        if (!PReadAll(newFd, a, n, e.localOffset + done) ||
            !PReadAll(oldFd, b, n, e.oldStart + done)) {
            error = "cannot read it back";
            return false;
        }
        if (std::memcmp(a, b, n) != 0) {
            error = "its copy differs from the old archive";
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

bool VerifyArchive(const std::string& path, const std::vector<EntryRecord>& expected,
                   const std::string& comment, int oldFd, unsigned threads, std::string& error,
                   VerifyCost* cost) {
    ArchiveReader reader;
    if (!reader.Open(path, error)) return false;
    if (!CheckDirectory(reader, expected, comment, error)) return false;
    const int newFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (newFd < 0) {
        error = std::strerror(errno);
        return false;
    }

    // Every entry's data, on all cores, largest work first spread by order.
    // Tasks: one per new entry; carried entries that lie side by side in both
    // archives are compared as one range, in slices of at most 64 MiB.
    struct Task {
        size_t first, last;  // entries [first, last]
        uint64_t offset, oldOffset, length;
    };
    std::vector<Task> tasks;
    for (size_t i = 0; i < expected.size(); ++i) {
        const EntryRecord& e = expected[i];
        if (!e.carried) {
            tasks.push_back({i, i, 0, 0, 0});
            continue;
        }
        if (!tasks.empty()) {
            Task& t = tasks.back();
            const EntryRecord& prev = expected[t.last];
            if (prev.carried && t.offset + t.length == e.localOffset &&
                t.oldOffset + t.length == e.oldStart && t.length < (64u << 20)) {
                t.last = i;
                t.length += e.oldLength;
                continue;
            }
        }
        tasks.push_back({i, i, e.localOffset, e.oldStart, e.oldLength});
    }

    std::atomic<size_t> nextTask{0};
    std::atomic<bool> failed{false};
    std::atomic<uint64_t> checked{0}, compared{0};
    std::mutex errorMutex;
    auto run = [&] {
        std::unique_ptr<unsigned char[]> a, b;
        while (!failed) {
            const size_t k = nextTask++;
            if (k >= tasks.size()) return;
            const Task& t = tasks[k];
            const EntryRecord& e = expected[t.first];
            std::string why;
            bool ok = true;
            if (e.carried) {
                if (!a) {
                    a.reset(new unsigned char[kCompareBuffer]);
                    b.reset(new unsigned char[kCompareBuffer]);
                }
                EntryRecord range = e;
                range.localOffset = t.offset;
                range.oldStart = t.oldOffset;
                range.oldLength = t.length;
                ok = oldFd >= 0 && CompareCarried(newFd, oldFd, range, a.get(), b.get(), why);
                compared += t.length;
            } else {
                const ReadStatus st = reader.Extract(
                    reader.Entry(t.first), [](const unsigned char*, size_t) { return true; }, why);
                ok = st == ReadStatus::Ok;
                checked += e.size;
            }
            if (!ok) {
                std::lock_guard<std::mutex> lock(errorMutex);
                if (!failed.exchange(true)) {
                    error = "entry " + std::to_string(t.first) + " (" + e.name + "): " + why;
                }
                return;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads && tasks.size() > 1; ++t) {
        try {
            workers.emplace_back(run);
        } catch (const std::system_error&) {
            break;  // fewer threads: this one checks the rest
        }
    }
    run();
    for (std::thread& w : workers) w.join();
    ::close(newFd);
    if (cost) {
        cost->checkedBytes = checked;
        cost->comparedBytes = compared;
    }
    return !failed;
}

}  // namespace pkzip
