#include "Extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "Names.h"
#include "Output.h"
#include "PathCase.h"
#include "ZipReader.h"

namespace pkzip {
namespace {

constexpr int kFatal = 2;

struct FolderTimes {
    std::vector<std::string> parts;
    int64_t mtime;
    mode_t mode;
    bool hasMode;
};

class Restorer {
  public:
    Restorer(const Options& o, int targetFd) : o_(o), target_(targetFd) {}
    void Work(const ZipReader& zr, uint64_t count);
    void FinishFolders();

  private:
    void One(const ZipReader& zr, const EntryInfo& info);
    // Opens (creating as needed) the folder given by parts[0..n) below the
    // target, never following a symbolic link. Returns -1 with `why` set.
    int OpenFolder(const std::vector<std::string>& parts, size_t n, std::string& why);
    bool WriteFile(const ZipReader& zr, const EntryInfo& info, int dirFd, const std::string& leaf,
                   std::string& why);

    const Options& o_;
    int target_;
    std::atomic<uint64_t> next_{0};
    std::mutex foldersMutex_;
    std::vector<FolderTimes> folders_;
};

int Restorer::OpenFolder(const std::vector<std::string>& parts, size_t n, std::string& why) {
    int fd = ::dup(target_);
    for (size_t i = 0; i < n && fd >= 0; ++i) {
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

bool Restorer::WriteFile(const ZipReader& zr, const EntryInfo& info, int dirFd,
                         const std::string& leaf, std::string& why) {
    // Written under a work name and renamed at the end, so a damaged entry
    // never leaves a file that looks restored.
    thread_local std::mt19937_64 rng{std::random_device{}()};
    std::string work;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        work = "." + leaf.substr(0, 200) + ".pkzip-" + std::to_string(rng() % 1000000000);
        fd = ::openat(dirFd, work.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        why = "cannot create the file: " + ErrnoText(errno);
        return false;
    }
    auto fail = [&](const std::string& text) {
        ::close(fd);
        ::unlinkat(dirFd, work.c_str(), 0);
        why = text;
        return false;
    };

    zip_file_t* f = zip_fopen_index(zr.Handle(), info.index, 0);
    if (!f) return fail("cannot read the entry: " + ZipErrorText(zr.Handle()));
    static thread_local std::unique_ptr<unsigned char[]> buf(new unsigned char[1 << 18]);
    uLong crc = 0;
    uint64_t total = 0;
    zip_int64_t n;
    while ((n = zip_fread(f, buf.get(), 1 << 18)) > 0) {
        crc = crc32_z(crc, buf.get(), static_cast<size_t>(n));
        total += static_cast<uint64_t>(n);
        const unsigned char* p = buf.get();
        size_t left = static_cast<size_t>(n);
        while (left > 0) {
            const ssize_t w = ::write(fd, p, left);
            if (w < 0) {
                if (errno == EINTR) continue;
                const std::string err = ErrnoText(errno);
                zip_fclose(f);
                return fail("cannot write the file: " + err);
            }
            p += w;
            left -= static_cast<size_t>(w);
        }
    }
    const std::string readError = n < 0 ? ZipFileErrorText(f) : std::string();
    zip_fclose(f);
    if (n < 0) return fail("the entry is damaged: " + readError);
    if (total != info.size || crc != info.crc) {
        return fail("the entry is damaged: CRC or size check failed");
    }
    const mode_t mode = info.hasUnixMode ? (info.unixMode & 0777) : 0644;
    ::fchmod(fd, mode);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(info.mtime), 0}};
    ::futimens(fd, times);
    if (::close(fd) != 0) {
        fd = -1;
        ::unlinkat(dirFd, work.c_str(), 0);
        why = "cannot write the file: " + ErrnoText(errno);
        return false;
    }
    if (::renameat(dirFd, work.c_str(), dirFd, leaf.c_str()) != 0) {
        why = "cannot put the file in place: " + ErrnoText(errno);
        ::unlinkat(dirFd, work.c_str(), 0);
        return false;
    }
    return true;
}

void Restorer::One(const ZipReader& zr, const EntryInfo& info) {
    if (info.isHeader) return;  // the archive header is not a user file
    const std::string shown = Shown(info.name);
    const auto parts = SafeComponents(info.name);
    if (!parts) {
        Problem("refused " + shown + ": the name leads outside the target folder");
        return;
    }
    if (info.isSymlink) {
        Problem("skipped " + shown + ": symbolic links are not restored");
        return;
    }
    if (info.isSpecial) {
        Problem("skipped " + shown + ": neither a file nor a folder");
        return;
    }
    if (info.encrypted) {
        Problem("skipped " + shown + ": encrypted entries are not supported");
        return;
    }
    std::string why;
    if (info.isDir) {
        const int fd = OpenFolder(*parts, parts->size(), why);
        if (fd < 0) {
            Problem(shown + ": " + why);
            return;
        }
        ::close(fd);
        std::lock_guard<std::mutex> lock(foldersMutex_);
        folders_.push_back(
            {*parts, info.mtime, static_cast<mode_t>(info.unixMode & 0777), info.hasUnixMode});
        return;
    }
    const int dirFd = OpenFolder(*parts, parts->size() - 1, why);
    if (dirFd < 0) {
        Problem(shown + ": " + why);
        return;
    }
    const std::string& leaf = parts->back();
    struct stat st;
    if (::fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode)) {
            ::close(dirFd);
            Problem("refused " + shown + ": it would be written through a symbolic link");
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(dirFd);
            Problem("cannot restore " + shown + ": a folder or other non-file is in the way");
            return;
        }
        if (o_.extractUpdate && st.st_mtime >= info.mtime) {
            ::close(dirFd);
            return;  // the copy on disk is as new or newer
        }
    }
    const bool ok = WriteFile(zr, info, dirFd, leaf, why);
    ::close(dirFd);
    if (ok) {
        Line("  Inflating: " + shown);
    } else {
        Problem("cannot restore " + shown + ": " + why);
    }
}

void Restorer::Work(const ZipReader& zr, uint64_t count) {
    for (;;) {
        const uint64_t i = next_++;
        if (i >= count) return;
        EntryInfo info;
        std::string error;
        if (!zr.Info(i, info, error)) {
            Problem("cannot read entry " + std::to_string(i) + ": " + error);
            continue;
        }
        One(zr, info);
    }
}

void Restorer::FinishFolders() {
    // Deepest first, and after all files, so that writing into a folder does
    // not change its time again and a read-only folder does not block its files.
    std::sort(folders_.begin(), folders_.end(), [](const FolderTimes& a, const FolderTimes& b) {
        return a.parts.size() > b.parts.size();
    });
    for (const FolderTimes& f : folders_) {
        std::string why;
        const int fd = OpenFolder(f.parts, f.parts.size(), why);
        if (fd < 0) continue;
        if (f.hasMode) ::fchmod(fd, f.mode);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(f.mtime), 0}};
        ::futimens(fd, times);
        ::close(fd);
    }
}

}  // namespace

int RunRestore(const Options& o) {
    const std::string archive = tools::ResolvePathCase(o.archive);
    ZipReader first;
    std::string error;
    if (!first.Open(archive, error)) {
        Problem("cannot open the archive " + Shown(o.archive) + ": " + error);
        return kFatal;
    }
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

    const uint64_t count = first.Count();
    Restorer restorer(o, targetFd);
    std::vector<std::unique_ptr<ZipReader>> more;
    unsigned threads = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    for (unsigned t = 1; t < threads && count > 1; ++t) {
        auto zr = std::make_unique<ZipReader>();
        if (!zr->Open(archive, error)) break;
        more.push_back(std::move(zr));
    }
    std::vector<std::thread> workers;
    for (auto& zr : more)
        workers.emplace_back([&restorer, &zr, count] { restorer.Work(*zr, count); });
    restorer.Work(first, count);
    for (std::thread& w : workers) w.join();
    restorer.FinishFolders();
    ::close(targetFd);
    return ProblemCount() > 0 ? 1 : 0;
}

}  // namespace pkzip
