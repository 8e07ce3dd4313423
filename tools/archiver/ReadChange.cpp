#include "ReadChange.h"

#include <libdeflate.h>

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
std::string ReadChange(const os::FileInfo& atOpen, const os::FileInfo& now, uint64_t read) {
    const auto before = static_cast<uint64_t>(atOpen.size);
    const auto atEnd = static_cast<uint64_t>(now.size);
    if (before != atEnd || (atEnd != read && atEnd != 0)) {
        return "its size changed while it was read (" + std::to_string(before) +
               " bytes at the start, " + std::to_string(atEnd) + " at the end, " +
               std::to_string(read) + " stored)";
    }
    if (atOpen.modified == now.modified && atOpen.changed == now.changed) return {};
    return "it was written to while it was read (stored as last read, " + std::to_string(read) +
           " bytes)";
}

std::string ReadChangeNow(os::Handle fd, const os::FileInfo& atOpen, uint64_t read) {
    os::FileInfo now;
    if (!os::Stat(fd, now)) return {};
    return ReadChange(atOpen, now, read);
}

// The reader and the writer may both read: the count is shared.
void ChangeOnRead(os::Handle fd, const char* path) {
    static const char* const how = std::getenv("PKZIP_TEST_CHANGE_ON_READ");
    static std::atomic<long> left{
        how ? std::strtol(std::strchr(how, ':') ? std::strchr(how, ':') + 1 : "0", nullptr, 10)
            : 0};
    if (how == nullptr || left.fetch_sub(1) <= 0) return;  // unset: no shared counter per read
    const os::Handle w = os::Open(path, os::kWrite | os::kAppend);
    if (w == os::kNoHandle) return;
    if (std::strncmp(how, "grow", 4) == 0) {
        const std::string more(4096, 'g');
        (void)os::Write(w, more.data(), more.size());
    } else {
        os::FileInfo st;
        unsigned char c = 0;
        if (os::ReadAt(fd, &c, 1, 0) == 1 && os::Stat(fd, st)) {
            c = static_cast<unsigned char>(c ^ 1);
            const os::Handle r = os::Open(path, os::kWrite);
            if (r != os::kNoHandle) {
                (void)os::WriteAt(r, &c, 1, 0);
                os::SetModified(r, os::MakeTime(os::Seconds(st.modified) + 1, 0));
                os::Close(r);
            }
        }
    }
    os::Close(w);
}

ReadAgainResult ReadAgain(const char* path, int level, uint64_t limit,
                          const std::function<void(const unsigned char*, size_t)>& write) {
    constexpr size_t kPiece = 4 << 20;
    ReadAgainResult r;
    const os::Handle fd = os::Open(path, os::kRead | os::kSource);
    if (fd == os::kNoHandle || !os::Stat(fd, r.st)) {
        r.error = os::ErrorText(os::LastError());
        if (fd != os::kNoHandle) os::Close(fd);
        return r;
    }
    const auto size = static_cast<uint64_t>(r.st.size);
    if (size > limit) {
        os::Close(fd);
        r.error = "it grew past 4 GiB while it was being read";
        return r;
    }
    std::unique_ptr<DeflateJoin> join;
    std::vector<unsigned char> in(kPiece), out;
    try {
        if (level > 0) join = std::make_unique<DeflateJoin>(level);
    } catch (const std::bad_alloc&) {
        os::Close(fd);
        r.error = "out of memory while compressing";
        return r;
    }
    bool first = true;
    while (first || r.size < size) {
        first = false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, size - r.size));
        size_t got = 0;
        while (got < want) {
            const int64_t n = os::Read(fd, in.data() + got, want - got);
            if (n < 0 && os::LastError() == EINTR) continue;
            if (n < 0) {
                r.error = std::string("read error: ") + os::ErrorText(os::LastError());
                os::Close(fd);
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
    os::Close(fd);
    return r;
}

}  // namespace pkzip
