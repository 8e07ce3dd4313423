#include "StatMany.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "Os.h"
#include "Workers.h"

namespace pkzip {
namespace {

constexpr size_t kBlock = 256;          // paths a thread takes at a time
constexpr size_t kPerThreadMin = 1024;  // below this a thread costs more than it saves

constexpr uint32_t kNoFolder = UINT32_MAX;  // no folder part, or a trailing slash

// Where a path's folder part ends (its last slash), once per path: the same
// cut orders the list and names the folder to look the leaf up from.
uint32_t FolderLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr || slash[1] == '\0') return kNoFolder;
    return static_cast<uint32_t>(slash - path);
}

// Looks paths up from their folder, keeping the folder open while the
// following paths share it.
class FolderCache {
  public:
    ~FolderCache() {
        if (fd_ != os::kNoHandle) os::Close(fd_);
    }

    void Stat(const char* path, uint32_t folderLength, StatResult& out) {
        // Plain stat says it best where there is no folder to look from.
        if (folderLength == kNoFolder) return Plain(path, out);
        const std::string_view folder(path, folderLength == 0 ? 1 : folderLength);
        if (folder != folder_) {
            if (fd_ != os::kNoHandle) os::Close(fd_);
            folder_.assign(folder);
            fd_ = os::Open(folder_, os::kFolder | os::kLookupOnly);
        }
        // A folder that cannot be opened leaves the error to the plain stat.
        if (fd_ == os::kNoHandle) return Plain(path, out);
        os::FileInfo st;
        Keep(os::StatAt(fd_, path + folderLength + 1, st, true) ? 0 : os::LastError(), st, out);
    }

  private:
    static void Plain(const char* path, StatResult& out) {
        os::FileInfo st;
        Keep(os::StatPath(path, st) ? 0 : os::LastError(), st, out);
    }
    static void Keep(int error, const os::FileInfo& st, StatResult& out) {
        out.error = static_cast<int16_t>(error);
        if (error != 0) return;
        out.mode = static_cast<uint16_t>(st.mode);
        out.mtimeSec = os::Seconds(st.modified);
        out.mtimeNsec = os::SubsecondNanos(st.modified);
    }

    std::string folder_;
    os::Handle fd_ = os::kNoHandle;
};

struct Work {
    const std::vector<const char*>& paths;
    std::vector<uint32_t> folderLength;
    std::vector<uint32_t> order;  // the paths, folder by folder
    std::vector<StatResult>& out;
    std::atomic<size_t> next{0};
};

void StatBlocks(Work& w) {
    FolderCache cache;
    for (;;) {
        const size_t begin = w.next.fetch_add(kBlock);
        if (begin >= w.order.size()) return;
        const size_t end = std::min(w.order.size(), begin + kBlock);
        for (size_t i = begin; i < end; ++i) {
            const uint32_t k = w.order[i];
            cache.Stat(w.paths[k], w.folderLength[k], w.out[k]);
        }
    }
}

}  // namespace

std::vector<StatResult> StatMany(const std::vector<const char*>& paths) {
    std::vector<StatResult> out(paths.size());
    Work w{paths, std::vector<uint32_t>(paths.size()), std::vector<uint32_t>(paths.size()), out};
    for (size_t i = 0; i < paths.size(); ++i) {
        w.order[i] = static_cast<uint32_t>(i);
        w.folderLength[i] = FolderLength(paths[i]);
    }
    // Lists need not come folder by folder: visit them so.
    const auto folder = [&](uint32_t k) {
        const uint32_t n = w.folderLength[k];
        return std::string_view(paths[k], n == kNoFolder ? 0 : n);
    };
    std::stable_sort(w.order.begin(), w.order.end(),
                     [&](uint32_t a, uint32_t b) { return folder(a) < folder(b); });
    // Beyond the cores, more threads still help while the disk is being read.
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t wanted = std::min({paths.size() / kPerThreadMin, cores * 2, size_t{8}});
    RunOnThreads(wanted, [&w] { StatBlocks(w); });
    return out;
}

}  // namespace pkzip
