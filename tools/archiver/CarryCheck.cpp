#include "CarryCheck.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "Workers.h"

namespace pkzip {

std::vector<DamagedEntry> TestCarriedEntries(const ArchiveReader& old,
                                             const std::vector<size_t>& which, unsigned threads,
                                             uint64_t* testedBytes) {
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> tested{0};
    std::mutex mutex;
    std::vector<DamagedEntry> damaged;
    const auto run = [&] {
        for (size_t k; (k = next++) < which.size();) {
            const ArchiveEntry& e = old.Entry(which[k]);
            std::string why;
            const ReadStatus st = old.Extract(
                e, [](const unsigned char*, size_t) { return true; }, why);
            tested += e.size;
            // A method we cannot decode is carried untested, as before, and so
            // is an encrypted entry when no password was given.
            if (st == ReadStatus::Ok || st == ReadStatus::Unsupported ||
                st == ReadStatus::NeedsPassword)
                continue;
            std::lock_guard<std::mutex> lock(mutex);
            damaged.push_back({which[k], why});
        }
    };
    RunOnThreads(std::min<size_t>(threads, which.size()), run);
    std::sort(damaged.begin(), damaged.end(),
              [](const DamagedEntry& a, const DamagedEntry& b) { return a.index < b.index; });
    if (testedBytes) *testedBytes = tested;
    return damaged;
}

}  // namespace pkzip
