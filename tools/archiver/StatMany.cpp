#include "StatMany.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

namespace pkzip {
namespace {

constexpr size_t kBlock = 256;          // paths a thread takes at a time
constexpr size_t kPerThreadMin = 1024;  // below this a thread costs more than it saves

// Looks paths up from their folder, keeping the folder open while the
// following paths share it.
class FolderCache {
  public:
    ~FolderCache() {
        if (fd_ >= 0) ::close(fd_);
    }

    void Stat(const char* path, StatResult& out) {
        const char* slash = std::strrchr(path, '/');
        // No folder part, or a trailing slash: plain stat says it best.
        if (slash == nullptr || slash[1] == '\0') return Plain(path, out);
        const std::string_view folder(path, slash == path ? 1 : slash - path);
        if (folder != folder_) {
            if (fd_ >= 0) ::close(fd_);
            folder_.assign(folder);
            fd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        // A folder that cannot be opened leaves the error to the plain stat.
        if (fd_ < 0) return Plain(path, out);
        out.error = ::fstatat(fd_, slash + 1, &out.st, 0) == 0 ? 0 : errno;
    }

  private:
    static void Plain(const char* path, StatResult& out) {
        out.error = ::stat(path, &out.st) == 0 ? 0 : errno;
    }

    std::string folder_;
    int fd_ = -1;
};

void StatBlocks(const std::vector<const char*>& paths, const std::vector<uint32_t>& order,
                std::vector<StatResult>& out, std::atomic<size_t>& next) {
    FolderCache cache;
    for (;;) {
        const size_t begin = next.fetch_add(kBlock);
        if (begin >= order.size()) return;
        const size_t end = std::min(order.size(), begin + kBlock);
        for (size_t i = begin; i < end; ++i) cache.Stat(paths[order[i]], out[order[i]]);
    }
}

}  // namespace

std::vector<StatResult> StatMany(const std::vector<const char*>& paths) {
    std::vector<StatResult> out(paths.size());
    // Lists need not come folder by folder: visit them so.
    std::vector<std::string_view> folders(paths.size());
    std::vector<uint32_t> order(paths.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<uint32_t>(i);
        const char* slash = std::strrchr(paths[i], '/');
        folders[i] =
            slash == nullptr ? std::string_view() : std::string_view(paths[i], slash - paths[i]);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return folders[a] < folders[b]; });
    std::atomic<size_t> next{0};
    // Beyond the cores, more threads still help while the disk is being read.
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t wanted = std::min({paths.size() / kPerThreadMin, cores * 2, size_t{8}});
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < wanted; ++i) {
        try {
            helpers.emplace_back(StatBlocks, std::cref(paths), std::cref(order), std::ref(out),
                                 std::ref(next));
        } catch (const std::system_error&) {
            break;  // fewer threads: the calling one does the rest
        }
    }
    StatBlocks(paths, order, out, next);
    for (std::thread& t : helpers) t.join();
    return out;
}

}  // namespace pkzip
