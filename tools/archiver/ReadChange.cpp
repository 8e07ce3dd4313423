#include "ReadChange.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "DeflateJoin.h"

namespace pkzip {

// Size first, then the modification and change times: a file rewritten in
// place keeps its size. A file that grew is stored as it was at open.
std::string ReadChange(const struct stat& atOpen, const struct stat& now, uint64_t read) {
    const auto before = static_cast<uint64_t>(atOpen.st_size);
    const auto atEnd = static_cast<uint64_t>(now.st_size);
    if (before != atEnd || (atEnd != read && atEnd != 0)) {
        return "its size changed while it was read (" + std::to_string(before) +
               " bytes at the start, " + std::to_string(atEnd) + " at the end, " +
               std::to_string(read) + " stored)";
    }
    const auto same = [](const struct timespec& a, const struct timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    if (same(atOpen.st_mtim, now.st_mtim) && same(atOpen.st_ctim, now.st_ctim)) return {};
    return "it was written to while it was read (stored as last read, " + std::to_string(read) +
           " bytes)";
}

std::string ReadChangeNow(int fd, const struct stat& atOpen, uint64_t read) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return {};
    return ReadChange(atOpen, now, read);
}

// The reader and the writer may both read: the count is shared.
void ChangeOnRead(int fd, const char* path) {
    static const char* const how = std::getenv("PKZIP_TEST_CHANGE_ON_READ");
    static std::atomic<long> left{
        how ? std::strtol(std::strchr(how, ':') ? std::strchr(how, ':') + 1 : "0", nullptr, 10)
            : 0};
    if (how == nullptr || left.fetch_sub(1) <= 0) return;  // unset: no shared counter per read
    const int w = ::open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (w < 0) return;
    if (std::strncmp(how, "grow", 4) == 0) {
        const std::string more(4096, 'g');
        (void)!::write(w, more.data(), more.size());
    } else {
        struct stat st {};
        unsigned char c = 0;
        if (::pread(fd, &c, 1, 0) == 1 && ::fstat(fd, &st) == 0) {
            c = static_cast<unsigned char>(c ^ 1);
            const int r = ::open(path, O_WRONLY | O_CLOEXEC);
            if (r >= 0) {
                (void)!::pwrite(r, &c, 1, 0);
                const struct timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtime + 1, 0}};
                ::futimens(r, times);
                ::close(r);
            }
        }
    }
    ::close(w);
}

ReadAgainResult ReadAgain(const char* path, int level, uint64_t limit,
                          const std::function<void(const unsigned char*, size_t)>& write) {
    constexpr size_t kPiece = 4 << 20;
    ReadAgainResult r;
    const int fd = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &r.st) != 0) {
        r.error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return r;
    }
    const auto size = static_cast<uint64_t>(r.st.st_size);
    if (size > limit) {
        ::close(fd);
        r.error = "it grew past 4 GiB while it was being read";
        return r;
    }
    std::unique_ptr<DeflateJoin> join;
    std::vector<unsigned char> in(kPiece), out;
    try {
        if (level > 0) join = std::make_unique<DeflateJoin>(level);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        r.error = "out of memory while compressing";
        return r;
    }
    bool first = true;
    while (first || r.size < size) {
        first = false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, size - r.size));
        size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, in.data() + got, want - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                r.error = std::string("read error: ") + std::strerror(errno);
                ::close(fd);
                return r;
            }
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        ChangeOnRead(fd, path);
        r.crc = static_cast<uint32_t>(libdeflate_crc32(r.crc, in.data(), got));
        r.size += got;
        const bool last = got < want || r.size == size;
        if (join) {
            out.clear();
            join->Append(in.data(), got, last, out);
            write(out.data(), out.size());
            r.packed += out.size();
        } else {
            write(in.data(), got);
            r.packed += got;
        }
        if (last) break;
    }
    r.change = ReadChangeNow(fd, r.st, r.size);
    ::close(fd);
    return r;
}

}  // namespace pkzip
