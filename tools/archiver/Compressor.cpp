#include "Compressor.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "ZipFormat.h"

namespace pkzip {
namespace {

constexpr size_t kPieceSize = 1 << 20;
constexpr size_t kWindow = 32 << 10;
constexpr size_t kMaxBytesInFlight = 48 << 20;
constexpr size_t kMaxPiecesInFlight = 256;
// Files this large at the start get Zip64 size fields in their local header
// from the outset; the margin covers deflate's worst-case growth.
constexpr uint64_t kZip64Reserve = 0xFF000000u;

// Reads up to `want` bytes; returns the count, or -1 with errno set.
ssize_t ReadFull(int fd, unsigned char* buf, size_t want) {
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, buf + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Fills `p.in` with the next piece of the file, sized by what the file's
// length says is left (one byte more, to see the end). On failure the piece
// becomes the file's last, carrying the reason, and the entry will be dropped.
bool ReadPiece(int fd, Piece& p, uint64_t& total, uint64_t expected, bool reserved, bool& eof) {
    const uint64_t left = expected > total ? expected - total : 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kPieceSize, left + 1));
    p.in.resize(want);
    const ssize_t n = ReadFull(fd, p.in.data(), want);
    if (n < 0) {
        p.error = std::string("read error: ") + std::strerror(errno);
    } else {
        total += static_cast<uint64_t>(n);
        if (!reserved && total >= kZip64Reserve) {
            p.error = "the file grew past 4 GiB while it was being read";
        }
    }
    if (!p.error.empty()) {
        p.in.clear();
        p.last = true;
        return false;
    }
    p.in.resize(static_cast<size_t>(n));
    eof = static_cast<size_t>(n) < want;
    return true;
}

}  // namespace

Compressor::Compressor(const std::vector<SourceFile>& files, int level, unsigned threads)
    : files_(files), level_(level) {
    if (threads < 1) threads = 1;
    threads_.emplace_back(&Compressor::Produce, this);
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back(&Compressor::Work, this);
}

Compressor::~Compressor() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void Compressor::Submit(std::unique_ptr<Piece> p) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
        return stop_ || ordered_.empty() ||
               (bytesInFlight_ + p->in.size() <= kMaxBytesInFlight &&
                ordered_.size() < kMaxPiecesInFlight);
    });
    if (stop_) return;
    bytesInFlight_ += p->in.size();
    if (p->error.empty() && !(p->first && p->last && p->in.empty())) {
        todo_.push_back(p.get());
    } else {
        p->ready = true;  // nothing to compute
    }
    ordered_.push_back(std::move(p));
    lock.unlock();
    changed_.notify_all();
}

void Compressor::Produce() {
    std::vector<unsigned char> tail;  // last window of the previous piece
    for (size_t i = 0; i < files_.size(); ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) break;
        }
        auto first = std::make_unique<Piece>();
        first->file = i;
        first->first = true;
        const int fd = ::open(files_[i].path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            first->last = true;
            first->error = std::strerror(errno);
            Submit(std::move(first));
            continue;
        }
        if (::fstat(fd, &first->st) != 0) {
            first->last = true;
            first->error = std::strerror(errno);
            ::close(fd);
            Submit(std::move(first));
            continue;
        }
        if (S_ISDIR(first->st.st_mode)) {
            first->last = true;
            ::close(fd);
            Submit(std::move(first));
            continue;
        }
        if (!S_ISREG(first->st.st_mode)) {
            first->last = true;
            first->error = "not a regular file";
            ::close(fd);
            Submit(std::move(first));
            continue;
        }
        ::fcntl(fd, F_SETFL, 0);
        first->reserveZip64 = static_cast<uint64_t>(first->st.st_size) >= kZip64Reserve;
        const bool reserve = first->reserveZip64;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

        // One piece is read ahead so that the last one is known as such.
        const auto expected = static_cast<uint64_t>(first->st.st_size);
        std::unique_ptr<Piece> cur = std::move(first);
        uint64_t total = 0;
        bool eof = false;
        tail.clear();
        if (!ReadPiece(fd, *cur, total, expected, reserve, eof)) {
            Submit(std::move(cur));
            ::close(fd);
            continue;
        }
        for (;;) {
            cur->dict = tail;
            if (eof) {
                cur->last = true;
                Submit(std::move(cur));
                break;
            }
            auto next = std::make_unique<Piece>();
            next->file = i;
            const bool ok = ReadPiece(fd, *next, total, expected, reserve, eof);
            cur->last = ok && next->in.empty();
            if (cur->in.size() >= kWindow) {
                tail.assign(cur->in.end() - static_cast<ptrdiff_t>(kWindow), cur->in.end());
            } else {
                tail.insert(tail.end(), cur->in.begin(), cur->in.end());
                if (tail.size() > kWindow) tail.erase(tail.begin(), tail.end() - kWindow);
            }
            const bool wasLast = cur->last;
            Submit(std::move(cur));
            if (wasLast) break;
            cur = std::move(next);
            if (!ok) {
                Submit(std::move(cur));
                break;
            }
        }
        ::close(fd);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    producerDone_ = true;
    changed_.notify_all();
}

}  // namespace pkzip

namespace pkzip {

void Compressor::Work() {
    z_stream zs{};
    bool haveStream = false;
    if (level_ > 0) {
        haveStream = deflateInit2(&zs, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    for (;;) {
        Piece* p = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !todo_.empty() || producerDone_; });
            if (stop_) break;
            if (todo_.empty()) {
                if (producerDone_) break;
                continue;
            }
            p = todo_.front();
            todo_.pop_front();
        }
        p->crc = static_cast<uint32_t>(crc32_z(0, p->in.data(), p->in.size()));
        if (haveStream) {
            Compress(*p, &zs);
        } else if (level_ > 0) {
            p->error = "out of memory for the compressor";
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            p->ready = true;
        }
        changed_.notify_all();
    }
    if (haveStream) deflateEnd(&zs);
}

void Compressor::Compress(Piece& p, void* stream) {
    auto* zs = static_cast<z_stream*>(stream);
    deflateReset(zs);
    if (!p.dict.empty()) {
        deflateSetDictionary(zs, p.dict.data(), static_cast<uInt>(p.dict.size()));
    }
    p.out.resize(deflateBound(zs, static_cast<uLong>(p.in.size())) + 64);
    zs->next_in = p.in.data();
    zs->avail_in = static_cast<uInt>(p.in.size());
    size_t produced = 0;
    const int flush = p.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        zs->next_out = p.out.data() + produced;
        zs->avail_out = static_cast<uInt>(p.out.size() - produced);
        const int rc = deflate(zs, flush);
        produced = p.out.size() - zs->avail_out;
        if (rc == Z_STREAM_END ||
            (flush == Z_SYNC_FLUSH && zs->avail_in == 0 && zs->avail_out > 0)) {
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            p.error = "compression failed";
            break;
        }
        p.out.resize(p.out.size() * 2);
    }
    p.out.resize(produced);
}

std::unique_ptr<Piece> Compressor::Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
        return (!ordered_.empty() && ordered_.front()->ready) ||
               (ordered_.empty() && producerDone_);
    });
    if (ordered_.empty()) return nullptr;
    std::unique_ptr<Piece> p = std::move(ordered_.front());
    ordered_.pop_front();
    bytesInFlight_ -= p->in.size();
    lock.unlock();
    changed_.notify_all();
    return p;
}

}  // namespace pkzip
